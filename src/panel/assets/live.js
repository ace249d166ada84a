'use strict';
// What the event stream brings: the server, the players and the console
// lines (console.js), one stream for all so that they never disagree. A
// stream that drops is opened again, waiting longer each time, and the
// page says so until it is back; one refused for a session that ended
// sends the page to the login form (session.js).

let events = null, streamTimer = null, streamDelayMs = 0, streamLostAt = null;
const streamFirstDelayMs = 1000, streamMaxDelayMs = 30000;

function openStream() {
  closeStream();
  events = new EventSource('/api/events');
  events.addEventListener('open', () => {
    // Its first lines were printed before it opened: they get no time.
    consoleBacklog = true;
    streamDelayMs = 0;
    streamLostAt = null;
    $('stream-banner').hidden = true;
  });
  events.addEventListener('console', (e) => addConsoleLine(JSON.parse(e.data)));
  events.addEventListener('server', (e) => renderServer(JSON.parse(e.data)));
  events.addEventListener('players', (e) => {
    const players = JSON.parse(e.data);
    notePlayerNames(players);
    renderPlayers(players);
    // A stream's first players follow its backlog of console lines.
    consoleBacklog = false;
  });
  events.addEventListener('error', streamDropped);
}

function closeStream() {
  if (events) events.close();
  events = null;
  if (streamTimer) clearTimeout(streamTimer);
  streamTimer = null;
}

// The browser would try again on its own, but cannot tell a session that
// ended from a client that is away: ask, then try again later.
async function streamDropped() {
  closeStream();
  if (streamLostAt === null) streamLostAt = Date.now() / 1000;
  const check = await call('GET', '/api/session');
  if (check.status === 401 || $('panel').hidden) return;  // back to the login form
  streamDelayMs = Math.min(streamMaxDelayMs, streamDelayMs ? streamDelayMs * 2 : streamFirstDelayMs);
  const banner = $('stream-banner');
  banner.hidden = false;
  banner.textContent = 'Live updates lost since ' + clockText(streamLostAt) + ' UTC (' +
    (check.status === 200 ? 'the stream was closed' : errorOf(check)) + '); trying again in ' +
    Math.round(streamDelayMs / 1000) + ' s';
  streamTimer = setTimeout(openStream, streamDelayMs);
}

// The time `seconds`, as the time of day when it is today, else in full.
function whenText(seconds) {
  const today = new Date().toISOString().slice(0, 10);
  return timeText(seconds).startsWith(today) ? clockText(seconds) + ' UTC' : timeText(seconds);
}

let serverState = null;

function renderServer(s) {
  serverState = s;
  const since = s.lastDatagram === null ? s.clientStarted : s.lastDatagram;
  const banner = $('server-banner');
  banner.hidden = s.connected;
  banner.textContent = s.connected ? '' : 'Not connected to the game server since ' +
    whenText(since) + (s.lastDatagram === null ? ' (nothing heard from it yet)' : '');
  fillList($('server'), [['Name', s.name], ['MOTD', s.motd],
    ['Game / mode', s.game + ' / ' + s.mode],
    ['Players', s.players + ' / ' + s.maxPlayers],
    ['Connected', s.connected ? 'yes' : 'no, since ' + whenText(since)],
    // The client's: the game server does not say how long it has been up.
    ['Client up since', timeText(s.clientStarted)]]);
}

// Keeps the keyboard's place when a table is drawn anew: the focused
// button is found again by its label.
function keepingFocus(draw) {
  const focused = document.activeElement;
  const label = focused && focused.tagName === 'BUTTON' && focused.getAttribute('aria-label');
  draw();
  if (!label) return;
  const again = document.querySelector('button[aria-label="' + CSS.escape(label) + '"]');
  if (again) again.focus();
}

let onlineNames = new Set();

let livePlayers = [];

// This server's players, live, then those of the fleet's other servers
// (fleet.js), each kind shown for the server chosen.
function renderPlayers(players) {
  livePlayers = players;
  onlineNames = new Set(players.map((p) => p.name));
  const here = fleetShows(fleetHere) ? players : [];
  const rows = here.map((p) => ({ ...p, server: fleetHere })).concat(fleetOthers());
  // A row is one person: a new name at the same id gets new buttons.
  keepingFocus(() => updateTable('players', rows, (p) => p.server + ' ' + p.id + ' ' + p.name,
    (p) => [p.id, p.name, p.server, p.kills, p.deaths, p.health === undefined ? '' : p.health,
      p.status === undefined ? '' : p.status, p.vehicle || '',
      () => actButtons(onlineActs, { id: p.id, name: p.name,
        server: p.server === fleetHere ? '' : p.server })],
    fleetNames.length ? 'no players on the servers chosen' : 'no players on the server'));
}

// ---- Players not on the server ------------------------------------------

async function loadRecent() {
  const hours = $('recent-form').elements.hours.value;
  const result = await call('GET', '/api/players/recent?hours=' + encodeURIComponent(hours));
  if (result.status !== 200) {
    fillTable('recent', [], () => [], 'recent players: ' + errorOf(result));
    return;
  }
  keepingFocus(() => fillTable('recent', result.data, (p) => [playerLink(p.name),
    onlineNames.has(p.name) ? 'on the server now' : timeText(p.lastSeen), p.visits, actButtons(absentActs, { id: null, name: p.name }, loadRecent)],
  'nobody seen in that time'));
}

$('recent-form').addEventListener('submit', (e) => {
  e.preventDefault();
  loadRecent();
});
