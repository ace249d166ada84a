'use strict';
// The panel's page. Every text from the server is set with textContent,
// never as HTML, so names and chat cannot inject markup.
const $ = (id) => document.getElementById(id);
let csrf = '', level = 0;
// The acts on a player and the level each needs, as the client's table holds them.
let needs = {};
const unbanLevel = 2;
// A console line, and a chat line the server takes as a command (its first
// non-blank character is '/'), need this level.
const commandLevel = 4;
const pages = ['players', 'console', 'charts', 'history', 'bans', 'audit'];

async function call(method, path, body) {
  const headers = { 'Content-Type': 'application/json' };
  if (method !== 'GET') headers['X-CSRF-Token'] = csrf;
  let response;
  try {
    response = await fetch(path, { method, headers, credentials: 'same-origin',
      body: body === undefined ? undefined : JSON.stringify(body) });
  } catch (e) {
    return { status: 0, data: { error: 'the client cannot be reached' } };
  }
  let data = null;
  try { data = await response.json(); } catch (e) { data = {}; }
  return { status: response.status, data };
}

const actionId = () => Array.from(crypto.getRandomValues(new Uint8Array(16)),
  (b) => b.toString(16).padStart(2, '0')).join('');

// Posts an action under an id of its own, so that sending it again after a
// lost answer cannot carry it out twice; an answer still pending (202) is
// asked after until it says done or not done.
async function postAction(body) {
  const id = actionId();
  let result = { status: 0 };
  for (let tries = 0; tries < 3 && result.status === 0; ++tries) {
    result = await call('POST', '/api/actions', Object.assign({ id }, body));
  }
  for (let i = 0; i < 60 && (result.status === 202 || result.status === 0); ++i) {
    await new Promise((resolve) => setTimeout(resolve, 1000));
    result = await call('GET', '/api/actions/' + id);
  }
  if (result.status === 202) result.data = { error: 'no outcome yet (action ' + id + ')' };
  return result;
}

function errorOf(result) {
  return (result.data && result.data.error) || 'status ' + result.status;
}

// "2026-12-08 11:40:00 UTC", as the console's lines give times.
function timeText(seconds) {
  if (seconds === null || seconds === undefined) return '-';
  return new Date(seconds * 1000).toISOString().replace('T', ' ').slice(0, 19) + ' UTC';
}

function durationText(seconds) {
  const units = [['d', 86400], ['h', 3600], ['m', 60], ['s', 1]];
  let rest = Math.max(0, Math.round(seconds)), text = '';
  for (const [unit, size] of units) {
    if (rest >= size) { text += Math.floor(rest / size) + unit; rest %= size; }
  }
  return text || '0s';
}

function element(tag, text, className) {
  const node = document.createElement(tag);
  if (text !== undefined) node.textContent = String(text);
  if (className) node.className = className;
  return node;
}

// Fills the table body `id` with one row per item of `items`, the cells
// `cellsOf(item)` gives (texts, or nodes put in as they are).
function fillTable(id, items, cellsOf, emptyText) {
  const body = $(id);
  body.replaceChildren();
  if (items.length === 0) {
    const cell = element('td', emptyText, 'empty');
    cell.colSpan = body.parentElement.querySelectorAll('th').length;
    body.append(element('tr'));
    body.lastChild.append(cell);
    return;
  }
  for (const item of items) {
    const row = element('tr');
    for (const value of cellsOf(item)) {
      const cell = element('td');
      if (value instanceof Node) cell.append(value);
      else cell.textContent = value === null || value === undefined ? '' : String(value);
      row.append(cell);
    }
    body.append(row);
  }
}

function fillList(list, pairs) {
  list.replaceChildren();
  for (const [key, value] of pairs) {
    list.append(element('dt', key), element('dd', value === null ? '-' : value));
  }
}

// ---- Pages ------------------------------------------------------------

function showPage() {
  const [name, ...rest] = location.hash.slice(1).split('/');
  const page = pages.includes(name) ? name : 'players';
  for (const p of pages) $('page-' + p).hidden = p !== page;
  for (const link of $('nav').querySelectorAll('a')) {
    if (link.getAttribute('href') === '#' + page) link.setAttribute('aria-current', 'page');
    else link.removeAttribute('aria-current');
  }
  if (page === 'console') $('console').scrollTop = $('console').scrollHeight;
  if (page === 'charts') loadCharts();
  if (page === 'history' && rest.length) showPlayer(decodeURIComponent(rest.join('/')));
  if (page === 'bans') loadBans();
  if (page === 'audit') loadAudit();
  return page;
}

window.addEventListener('hashchange', () => {
  if ($('panel').hidden) return;
  const page = showPage();
  // Keyboard users land on the page's title, not at the top of the document.
  const title = $(page === 'players' ? 'server-title' : page + '-title');
  if (title) title.focus();
});

// ---- Server and players -----------------------------------------------

function renderServer(s) {
  fillList($('server'), [['Name', s.name], ['MOTD', s.motd], ['Game / mode', s.game + ' / ' + s.mode],
    ['Players', s.players + ' / ' + s.maxPlayers], ['Connected', s.connected ? 'yes' : 'no'],
    ['Last datagram', s.lastDatagramAgeMs === null ? 'none yet'
      : (s.lastDatagramAgeMs / 1000).toFixed(1) + ' s ago'],
    ['Uptime', Math.floor(s.uptimeMs / 60000) + ' min']]);
}

async function act(action, player) {
  const body = { action, player: player.id, name: player.name };
  if (action === 'message') body.text = prompt('Message to ' + player.name) || '';
  if (action === 'tempban') body.duration = prompt('Ban ' + player.name + ' for (e.g. 30m, 1d)');
  if (['warn', 'kick', 'tempban', 'ban'].includes(action)) {
    body.reason = prompt('Reason for ' + action + ' of ' + player.name) || '';
  }
  if (action === 'message' && !body.text) return;
  if (action === 'tempban' && !body.duration) return;
  const result = await postAction(body);
  $('action-result').textContent = result.status === 200 ? action + ' ' + player.name + ': done'
    : action + ' ' + player.name + ': ' + errorOf(result);
}

function renderPlayers(players) {
  fillTable('players', players, (p) => {
    const actions = element('span');
    for (const [action, min] of Object.entries(needs)) {
      if (level < min) continue;
      const button = element('button', action);
      button.setAttribute('aria-label', action + ' ' + p.name);
      button.addEventListener('click', () => act(action, p));
      actions.append(button);
    }
    return [p.id, p.name, p.kills, p.deaths, p.health, p.status, p.vehicle || '', actions];
  }, 'no players on the server');
}

// ---- Console ----------------------------------------------------------

function addConsoleLine(entry) {
  const list = $('console');
  const item = element('li', entry.text, entry.error ? 'error' : undefined);
  item.value = entry.seq;
  list.append(item);
  while (list.children.length > 500) list.firstChild.remove();
  list.scrollTop = list.scrollHeight;
}

$('say').addEventListener('submit', async (e) => {
  e.preventDefault();
  const line = $('say').elements.line.value;
  if (!line) return;
  if (line.trimStart().startsWith('/') && level < commandLevel) {
    return addConsoleLine({ seq: 0, error: true,
      text: '* a line starting with / is a server command, which needs level ' + commandLevel });
  }
  const body = line.startsWith('.') ? { action: 'command', line } : { action: 'chat', text: line };
  const result = await postAction(body);
  if (result.status === 200) $('say').reset();
  else addConsoleLine({ seq: 0, text: '* ' + errorOf(result), error: true });
});

// ---- Charts -----------------------------------------------------------

const charts = {};

function drawChart(id, series, label, color) {
  const box = $(id);
  const summary = $(id + '-summary');
  if (series.values.length === 0) {
    if (charts[id]) { charts[id].destroy(); delete charts[id]; }
    box.replaceChildren(element('p', 'nothing recorded', 'empty'));
    summary.textContent = '';
    return;
  }
  const xs = series.values.map((_, i) => series.start + i * series.step);
  const total = series.values.reduce((a, b) => a + b, 0);
  const most = Math.max(...series.values);
  summary.textContent = '(most ' + most + (id === 'chart-players' ? '' : ', total ' + total) + ')';
  if (typeof uPlot !== 'function') {
    box.replaceChildren(element('p', 'the chart library did not load', 'empty'));
    return;
  }
  const width = Math.max(300, Math.min(box.clientWidth || 800, 1100));
  const end = series.start + series.values.length * series.step;
  if (charts[id]) charts[id].destroy();
  box.replaceChildren();
  charts[id] = new uPlot({
    width, height: 200,
    scales: { x: { time: true, range: () => [series.start, end] },
      y: { range: (u, min, max) => [0, Math.max(1, max)] } },
    // Each value counts a whole step: drawn as a step from its start to the
    // next one's, the last one to the end of the range.
    series: [{}, { label, stroke: color, fill: color + '26', width: 2,
      paths: uPlot.paths.stepped({ align: 1 }), points: { show: false } }],
  }, [xs.concat([end]), series.values.concat([series.values[series.values.length - 1]])], box);
}

async function loadCharts() {
  const range = $('chart-range').value;
  const result = await call('GET', '/api/charts?range=' + encodeURIComponent(range));
  if (result.status !== 200) {
    $('charts-result').textContent = 'charts: ' + errorOf(result);
    return;
  }
  $('charts-result').textContent = 'as of ' + timeText(result.data.now);
  drawChart('chart-players', result.data.players, 'players', '#2a6fb0');
  drawChart('chart-chat', result.data.chat, 'chat lines', '#2e8b57');
  drawChart('chart-kills', result.data.kills, 'kills', '#b03a2e');
}

$('chart-range').addEventListener('change', loadCharts);

// ---- History ----------------------------------------------------------

function playerLink(name) {
  const link = element('a', name);
  link.href = '#history/' + encodeURIComponent(name);
  return link;
}

async function search(text) {
  const result = await call('GET', '/api/players/search?q=' + encodeURIComponent(text));
  const list = $('search-results');
  list.replaceChildren();
  if (result.status !== 200) {
    $('history-result').textContent = 'search: ' + errorOf(result);
    return;
  }
  $('history-result').textContent = result.data.length + ' found';
  for (const p of result.data) {
    const item = element('li');
    item.append(playerLink(p.name), ' last seen ' + timeText(p.lastSeen) + ', ' + p.visits +
      ' visits');
    list.append(item);
  }
}

async function showPlayer(name) {
  const result = await call('GET', '/api/history?name=' + encodeURIComponent(name));
  if (result.status !== 200) {
    $('player').hidden = true;
    $('history-result').textContent = errorOf(result);
    return;
  }
  const h = result.data, p = h.player;
  $('history-result').textContent = '';
  $('player-name').textContent = p ? p.name : h.name;
  fillList($('player-record'), p ? [
    ['Online', h.online === null ? 'no' : 'yes, as ' + h.online],
    ['Last seen', timeText(p.lastSeen)], ['First seen', timeText(p.firstSeen)],
    ['Visits', p.visits], ['Time played', durationText(p.secondsPlayed)],
    ['Kills', p.kills], ['Deaths', p.deaths]] : [['Record', 'never seen on the server']]);
  const aliases = $('player-aliases');
  aliases.replaceChildren();
  if (h.aliases.length === 0) aliases.append(element('span', 'none', 'empty'));
  h.aliases.forEach((alias, i) => aliases.append(i ? ', ' : '', playerLink(alias)));
  fillTable('player-sanctions', h.sanctions, (s) => [timeText(s.time), s.kind,
    s.seconds ? durationText(s.seconds) : '', s.actor, s.reason,
    s.lifted === null ? '' : timeText(s.lifted)], 'no sanctions');
  const notes = $('player-notes');
  notes.replaceChildren();
  for (const n of h.notes) notes.append(element('li', timeText(n.time) + ' ' + n.actor + ': ' + n.text));
  if (h.notes.length === 0) notes.append(element('li', 'no notes', 'empty'));
  const chat = $('player-chat');
  chat.replaceChildren();
  for (const c of h.chat) {
    chat.append(element('li', timeText(c.time) + (c.recipient === null ? ' said: '
      : ' to ' + c.recipient + ': ') + c.text));
  }
  if (h.chat.length === 0) chat.append(element('li', 'no chat recorded', 'empty'));
  $('player').hidden = false;
  $('player-name').focus();
}

$('search').addEventListener('submit', (e) => {
  e.preventDefault();
  search($('search').elements.q.value);
});

// ---- Bans and audit ---------------------------------------------------

async function unban(name) {
  const result = await postAction({ action: 'unban', name });
  $('bans-result').textContent = result.status === 200 ? 'unban ' + name + ': done'
    : 'unban ' + name + ': ' + errorOf(result);
  loadBans();
}

async function loadBans() {
  const result = await call('GET', '/api/bans');
  if (result.status !== 200) {
    fillTable('bans', [], () => [], errorOf(result));
    return;
  }
  fillTable('bans', result.data, (b) => {
    let action = '';
    if (level >= unbanLevel) {
      action = element('button', 'unban');
      action.setAttribute('aria-label', 'unban ' + b.name);
      action.addEventListener('click', () => unban(b.name));
    }
    return [playerLink(b.name), b.kind, timeText(b.time),
      b.until === null ? 'permanent' : timeText(b.until), b.actor, b.reason, action];
  }, 'no active bans');
}

async function loadAudit() {
  const result = await call('GET', '/api/audit');
  if (result.status !== 200) {
    fillTable('audit', [], () => [], errorOf(result));
    return;
  }
  fillTable('audit', result.data, (a) => [timeText(a.time), a.actor, a.action,
    a.target ? playerLink(a.target) : '', a.detail], 'nothing in the audit yet');
}

$('bans-refresh').addEventListener('click', loadBans);
$('audit-refresh').addEventListener('click', loadAudit);

// ---- Session ----------------------------------------------------------

let events = null, serverTimer = null, chartsTimer = null;

function show(loggedIn, name) {
  $('login').hidden = loggedIn;
  $('panel').hidden = !loggedIn;
  $('nav').hidden = !loggedIn;
  $('logout').hidden = !loggedIn;
  $('who').textContent = loggedIn ? name + ' (level ' + level + ')' : '';
}

async function start(session) {
  csrf = session.csrf;
  level = session.level;
  needs = Object.fromEntries((session.acts || []).map((act) => [act.name, act.level]));
  show(true, session.name);
  showPage();
  const refresh = async () => {
    const result = await call('GET', '/api/server');
    if (result.status === 200) renderServer(result.data);
  };
  refresh();
  serverTimer = setInterval(refresh, 5000);
  chartsTimer = setInterval(() => { if (!$('page-charts').hidden) loadCharts(); }, 60000);
  events = new EventSource('/api/events');
  events.addEventListener('console', (e) => addConsoleLine(JSON.parse(e.data)));
  events.addEventListener('players', (e) => renderPlayers(JSON.parse(e.data)));
}

function stop() {
  if (events) events.close();
  if (serverTimer) clearInterval(serverTimer);
  if (chartsTimer) clearInterval(chartsTimer);
  $('console').replaceChildren();
  show(false, '');
}

$('login').addEventListener('submit', async (e) => {
  e.preventDefault();
  const form = new FormData($('login'));
  const credentials = { name: form.get('name'), password: form.get('password') };
  // A 503 is a busy moment (every connection of this address taken): try again shortly.
  let result = await call('POST', '/api/login', credentials);
  for (let i = 0; i < 4 && result.status === 503; ++i) {
    await new Promise((resolve) => setTimeout(resolve, 250 * (i + 1)));
    result = await call('POST', '/api/login', credentials);
  }
  $('login').reset();
  if (result.status === 200) {
    $('login-error').textContent = '';
    start(result.data);
  } else {
    $('login-error').textContent = errorOf(result);
  }
});

$('logout').addEventListener('click', async () => {
  await call('POST', '/api/logout');
  stop();
});

call('GET', '/api/session').then((r) => r.status === 200 ? start(r.data) : show(false, ''));
