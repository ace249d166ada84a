#include "panel/web_context.h"

namespace gsadmin {
namespace {

// The page, its style and its script: plain files embedded in the binary,
// nothing fetched from elsewhere. The script sets text only (never HTML),
// so names and chat from the server cannot inject markup.
constexpr char kIndexHtml[] = R"(<!doctype html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>gsadmin</title>
<link rel="stylesheet" href="/app.css">
<script src="/app.js" defer></script>
</head>
<body>
<header><h1>gsadmin</h1><span id="who"></span>
<button id="logout" hidden>Log out</button></header>
<main>
<form id="login" hidden>
<h2>Log in</h2>
<label>Name <input name="name" autocomplete="username" required></label>
<label>Password <input name="password" type="password" autocomplete="current-password"
required></label>
<button>Log in</button>
<p id="login-error" role="alert"></p>
</form>
<div id="panel" hidden>
<section aria-labelledby="server-title"><h2 id="server-title">Server</h2>
<dl id="server"></dl></section>
<section aria-labelledby="players-title"><h2 id="players-title">Players</h2>
<table><thead><tr><th>Id</th><th>Name</th><th>Kills</th><th>Deaths</th><th>Health</th>
<th>Status</th><th>Vehicle</th><th>Actions</th></tr></thead>
<tbody id="players"></tbody></table>
<p id="action-result" role="status"></p></section>
<section aria-labelledby="console-title"><h2 id="console-title">Console</h2>
<ol id="console" aria-live="polite"></ol>
<form id="say"><label>Chat or .command <input name="line" autocomplete="off"
maxlength="1024"></label><button>Send</button></form></section>
</div>
</main>
</body>
</html>
)";

constexpr char kAppCss[] =
    R"(body { font-family: sans-serif; margin: 0; background: #f6f6f4; color: #222; }
header { display: flex; gap: 1em; align-items: center; padding: .5em 1em; background: #24303c;
  color: #fff; }
header h1 { font-size: 1.2em; margin: 0; flex: 1; }
main { padding: 1em; max-width: 70em; }
section { margin-bottom: 1.5em; }
table { border-collapse: collapse; width: 100%; background: #fff; }
th, td { border: 1px solid #ccc; padding: .25em .5em; text-align: left; }
td button { margin-right: .25em; }
#console { background: #111; color: #ddd; font-family: monospace; height: 20em; overflow-y: auto;
  margin: 0; padding: .5em 2.5em; }
#console .error { color: #f88; }
#say input { width: 40em; max-width: 80%; }
label { display: block; margin: .5em 0; }
button:focus, input:focus { outline: 2px solid #f90; }
[role=alert] { color: #b00; }
)";

constexpr char kAppJs[] = R"('use strict';
const $ = (id) => document.getElementById(id);
let csrf = '', level = 0;
const needs = { message: 1, slap: 1, warn: 1, kick: 1, tempban: 1, ban: 2 };

async function call(method, path, body) {
  const headers = { 'Content-Type': 'application/json' };
  if (method !== 'GET') headers['X-CSRF-Token'] = csrf;
  const response = await fetch(path, { method, headers, credentials: 'same-origin',
    body: body === undefined ? undefined : JSON.stringify(body) });
  let data = null;
  try { data = await response.json(); } catch (e) { data = {}; }
  return { status: response.status, data };
}

function show(loggedIn, name) {
  $('login').hidden = loggedIn;
  $('panel').hidden = !loggedIn;
  $('logout').hidden = !loggedIn;
  $('who').textContent = loggedIn ? name + ' (level ' + level + ')' : '';
}

function renderServer(s) {
  const rows = [['Name', s.name], ['MOTD', s.motd], ['Game / mode', s.game + ' / ' + s.mode],
    ['Players', s.players + ' / ' + s.maxPlayers], ['Connected', s.connected ? 'yes' : 'no'],
    ['Last datagram', s.lastDatagramAgeMs === null ? 'none yet'
      : (s.lastDatagramAgeMs / 1000).toFixed(1) + ' s ago'],
    ['Uptime', Math.floor(s.uptimeMs / 60000) + ' min']];
  const list = $('server');
  list.replaceChildren();
  for (const [key, value] of rows) {
    const dt = document.createElement('dt'), dd = document.createElement('dd');
    dt.textContent = key;
    dd.textContent = value === null ? '-' : String(value);
    list.append(dt, dd);
  }
}

async function act(action, player) {
  const body = { action, player: player.id };
  if (action === 'message') body.text = prompt('Message to ' + player.name) || '';
  if (action === 'tempban') body.duration = prompt('Ban ' + player.name + ' for (e.g. 30m, 1d)');
  if (['warn', 'kick', 'tempban', 'ban'].includes(action)) {
    body.reason = prompt('Reason for ' + action + ' of ' + player.name) || '';
  }
  if (action === 'message' && !body.text) return;
  if (action === 'tempban' && !body.duration) return;
  const result = await call('POST', '/api/actions', body);
  $('action-result').textContent = result.status === 200 ? action + ' ' + player.name + ': done'
    : action + ' ' + player.name + ': ' + (result.data.error || result.status);
}

function renderPlayers(players) {
  const body = $('players');
  body.replaceChildren();
  for (const p of players) {
    const row = document.createElement('tr');
    for (const value of [p.id, p.name, p.kills, p.deaths, p.health, p.status, p.vehicle || '']) {
      const cell = document.createElement('td');
      cell.textContent = String(value);
      row.append(cell);
    }
    const actions = document.createElement('td');
    for (const [action, min] of Object.entries(needs)) {
      if (level < min) continue;
      const button = document.createElement('button');
      button.textContent = action;
      button.setAttribute('aria-label', action + ' ' + p.name);
      button.addEventListener('click', () => act(action, p));
      actions.append(button);
    }
    row.append(actions);
    body.append(row);
  }
}

function addConsoleLine(entry) {
  const list = $('console');
  const item = document.createElement('li');
  item.value = entry.seq;
  item.textContent = entry.text;
  if (entry.error) item.className = 'error';
  list.append(item);
  while (list.children.length > 500) list.firstChild.remove();
  list.scrollTop = list.scrollHeight;
}

let events = null, serverTimer = null;
async function start(session) {
  csrf = session.csrf;
  level = session.level;
  show(true, session.name);
  const refresh = async () => {
    const result = await call('GET', '/api/server');
    if (result.status === 200) renderServer(result.data);
  };
  refresh();
  serverTimer = setInterval(refresh, 5000);
  events = new EventSource('/api/events');
  events.addEventListener('console', (e) => addConsoleLine(JSON.parse(e.data)));
  events.addEventListener('players', (e) => renderPlayers(JSON.parse(e.data)));
}

function stop() {
  if (events) events.close();
  if (serverTimer) clearInterval(serverTimer);
  $('console').replaceChildren();
  show(false, '');
}

$('login').addEventListener('submit', async (e) => {
  e.preventDefault();
  const form = new FormData($('login'));
  const result = await call('POST', '/api/login',
    { name: form.get('name'), password: form.get('password') });
  $('login').reset();
  if (result.status === 200) {
    $('login-error').textContent = '';
    start(result.data);
  } else {
    $('login-error').textContent = result.data.error || 'login failed';
  }
});

$('say').addEventListener('submit', async (e) => {
  e.preventDefault();
  const line = $('say').elements.line.value;
  if (!line) return;
  const body = line.startsWith('.') ? { action: 'command', line } : { action: 'chat', text: line };
  const result = await call('POST', '/api/actions', body);
  if (result.status === 200) $('say').reset();
  else addConsoleLine({ seq: 0, text: '* ' + (result.data.error || result.status), error: true });
});

$('logout').addEventListener('click', async () => {
  await call('POST', '/api/logout');
  stop();
});

call('GET', '/api/session').then((r) => r.status === 200 ? start(r.data) : show(false, ''));
)";

void serve(httplib::Server& server, const char* path, const char* content, const char* type) {
  server.Get(path, [content, type](const httplib::Request&, httplib::Response& response) {
    response.set_header("Cache-Control", "no-cache");
    response.set_content(content, type);
  });
}

}  // namespace

void addPageRoutes(httplib::Server& server, WebContext&) {
  serve(server, "/", kIndexHtml, "text/html; charset=utf-8");
  serve(server, "/app.css", kAppCss, "text/css; charset=utf-8");
  serve(server, "/app.js", kAppJs, "text/javascript; charset=utf-8");
}

}  // namespace gsadmin
