'use strict';
// The console page: the lines as the stream brings them, each with the
// time it was printed and its kind (chat, kills, joins and leaves, admin acts,
// script output), which the filters, the colours and the toggles use.

const consoleMaxLines = 500;
let consoleLastSeq = 0, consolePaused = false, consoleHeld = [];
// Lines that come with a stream as it opens were printed before: no time.
let consoleBacklog = true;

const consoleKinds = [
  ['admin', /^(\* |PM SENT: |ADMIN: )/],
  ['join', / has (joined the game \(ID: \d+\)|left the game|been kicked from the game|timed out)$/],
  ['kill', /( killed .+| killed by Admin| killed himself( \(.*\))?)$/],
  ['script', /^(LUA|Lua|script)[: ]/],
];
// The names of the players seen, for telling their chat ("Bob: hi", "Bob
// to Carol: hi") from other lines with a colon.
const chatNames = new Set();
const chatPattern = /^(.{1,64}?)(: | to .{1,64}?: )/;

function notePlayerNames(players) {
  const before = chatNames.size;
  for (const p of players) chatNames.add(p.name);
  if (chatNames.size === before) return;
  // Lines that came before the names did may be their chat.
  for (const item of $('console').children) {
    if (item.dataset.kind !== 'other') continue;
    const kind = kindOf({ text: item.dataset.text });
    item.dataset.kind = kind;
    item.className = 'kind-' + kind;
    item.hidden = !consoleShows(item);
  }
}

function kindOf(entry) {
  if (entry.error) return 'script';
  for (const [kind, pattern] of consoleKinds) if (pattern.test(entry.text)) return kind;
  const chat = chatPattern.exec(entry.text);
  return chat && chatNames.has(chat[1]) ? 'chat' : 'other';
}

function consoleShows(item) {
  const tools = $('console-tools').elements;
  const kinds = Array.from(tools.kind).filter((box) => box.checked).map((box) => box.value);
  const filter = tools.filter.value.trim().toLowerCase();
  return kinds.includes(item.dataset.kind) &&
    (!filter || item.dataset.text.toLowerCase().includes(filter));
}

function applyConsoleFilter() {
  for (const item of $('console').children) item.hidden = !consoleShows(item);
  scrollConsole();
}

function scrollConsole() {
  if ($('console-lock').getAttribute('aria-pressed') === 'true') return;
  $('console').scrollTop = $('console').scrollHeight;
}

function addConsoleLine(entry) {
  // A stream opened again sends its last lines again.
  if (entry.seq && entry.seq <= consoleLastSeq) return;
  if (entry.seq) consoleLastSeq = entry.seq;
  // The client's time of the line; else when it came, or 'earlier' for
  // lines printed before the stream opened.
  const stamp = entry.time ? clockText(entry.time)
    : consoleBacklog && entry.seq ? 'earlier' : clockText(Date.now() / 1000);
  if (consolePaused) {
    consoleHeld.push([entry, stamp]);
    $('console-state').textContent = 'Paused: ' + consoleHeld.length + ' new line(s) held';
    return;
  }
  showConsoleLine(entry, stamp);
}

function showConsoleLine(entry, stamp) {
  const list = $('console');
  const kind = kindOf(entry);
  const item = element('li', undefined, 'kind-' + kind + (entry.error ? ' error' : ''));
  item.dataset.kind = kind;
  item.dataset.text = entry.text;
  item.append(element('time', stamp), ' ', element('span', entry.text));
  item.hidden = !consoleShows(item);
  list.append(item);
  while (list.children.length > consoleMaxLines) list.firstChild.remove();
  scrollConsole();
}

function pressed(id, on) {
  $(id).setAttribute('aria-pressed', on ? 'true' : 'false');
}

$('console-pause').addEventListener('click', () => {
  consolePaused = !consolePaused;
  pressed('console-pause', consolePaused);
  $('console-pause').textContent = consolePaused ? 'Resume' : 'Pause';
  if (consolePaused) {
    $('console-state').textContent = 'Paused';
    return;
  }
  for (const [entry, stamp] of consoleHeld) showConsoleLine(entry, stamp);
  consoleHeld = [];
  $('console-state').textContent = '';
});

$('console-lock').addEventListener('click', () => {
  pressed('console-lock', $('console-lock').getAttribute('aria-pressed') !== 'true');
  scrollConsole();
});

$('console-tools').addEventListener('input', applyConsoleFilter);
$('console-tools').addEventListener('submit', (e) => e.preventDefault());
$('console-tools').elements.height.addEventListener('change', (e) => {
  $('console').style.height = e.target.value + 'em';
});

function resetConsole() {
  $('console').replaceChildren();
  consoleLastSeq = 0;
  consoleHeld = [];
  consoleBacklog = true;
}

$('say').addEventListener('submit', async (e) => {
  e.preventDefault();
  const line = $('say').elements.line.value;
  if (!line) return;
  if (line.trimStart().startsWith('/') && level < commandLevel) {
    return showConsoleLine({ seq: 0, error: true,
      text: '* a line starting with / is a server command, which needs level ' + commandLevel },
    clockText(Date.now() / 1000));
  }
  const body = line.startsWith('.') ? { action: 'command', line } : { action: 'chat', text: line };
  const result = await postAction(body);
  if (result.status === 200) $('say').reset();
  else showConsoleLine({ seq: 0, text: '* ' + errorOf(result), error: true },
    clockText(Date.now() / 1000));
});
