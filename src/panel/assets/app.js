'use strict';
// The panel's common parts: requests, actions, times and tables. The other
// scripts (act.js, live.js, console.js, pages.js, session.js) build on it.
// Every text from the server is set with textContent, never as HTML, so
// names and chat cannot inject markup.
const $ = (id) => document.getElementById(id);
let csrf = '', level = 0, account = '';
// The acts on a player and the level each needs, as the client's table holds them.
let needs = {};
const unbanLevel = 2;
// A console line, and a chat line the server takes as a command (its first
// non-blank character is '/'), need this level.
const commandLevel = 4;
// Called with the reason when a request finds the session gone (session.js).
let onSessionEnded = () => {};

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
  // A 401 to anything but a login means the session is over (expired, or
  // the client restarted): the page must not go on as if logged in.
  if (response.status === 401 && path !== '/api/login') onSessionEnded(data && data.error);
  return { status: response.status, data };
}

const actionId = () => Array.from(crypto.getRandomValues(new Uint8Array(16)),
  (b) => b.toString(16).padStart(2, '0')).join('');

const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

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
    await pause(1000);
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

// "11:40:00": the time of day in UTC, for lines of today.
function clockText(seconds) {
  return new Date(seconds * 1000).toISOString().slice(11, 19);
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

function button(text, label, onClick) {
  const node = element('button', text);
  node.type = 'button';
  if (label) node.setAttribute('aria-label', label);
  node.addEventListener('click', onClick);
  return node;
}

// Fills the table body `id` with one row per item of `items`, the cells
// `cellsOf(item)` gives (texts, or nodes put in as they are). Each cell
// carries its column's title, which narrow screens show beside it.
function fillTable(id, items, cellsOf, emptyText) {
  const body = $(id);
  const titles = Array.from(body.parentElement.querySelectorAll('th'), (th) => th.textContent);
  body.replaceChildren();
  if (items.length === 0) {
    const cell = element('td', emptyText, 'empty');
    cell.colSpan = titles.length;
    body.append(element('tr'));
    body.lastChild.append(cell);
    return;
  }
  for (const item of items) {
    const row = element('tr');
    cellsOf(item).forEach((value, i) => {
      const cell = element('td');
      cell.dataset.label = titles[i] || '';
      if (value instanceof Node) cell.append(value);
      else cell.textContent = value === null || value === undefined ? '' : String(value);
      row.append(cell);
    });
    body.append(row);
  }
}

// Like fillTable for a table drawn many times a second: the row of an
// item whose key (keyOf) it had before stays, and only its cells whose
// text changed are written. A cell given as a function (buttons) is made
// only for a new row. Unchanged rows cost nothing and keep the focus.
function updateTable(id, items, keyOf, cellsOf, emptyText) {
  const body = $(id);
  const before = body.rowsByKey || new Map();
  body.rowsByKey = new Map();
  if (items.length === 0) {
    fillTable(id, items, cellsOf, emptyText);
    return;
  }
  const titles = Array.from(body.parentElement.querySelectorAll('th'), (th) => th.textContent);
  const rows = items.map((item) => {
    const key = keyOf(item);
    const kept = before.get(key);
    const row = kept || element('tr');
    cellsOf(item).forEach((value, i) => {
      if (kept && typeof value === 'function') return;
      const cell = kept ? row.children[i] : row.appendChild(element('td'));
      cell.dataset.label = titles[i] || '';
      if (typeof value === 'function') cell.append(value());
      else {
        const text = value === null || value === undefined ? '' : String(value);
        if (cell.textContent !== text) cell.textContent = text;
      }
    });
    body.rowsByKey.set(key, row);
    return row;
  });
  const same = rows.length === body.children.length &&
    rows.every((row, i) => body.children[i] === row);
  if (!same) body.replaceChildren(...rows);
}

function fillList(list, pairs) {
  list.replaceChildren();
  for (const [key, value] of pairs) {
    list.append(element('dt', key), element('dd', value === null ? '-' : value));
  }
}

function playerLink(name) {
  const link = element('a', name);
  link.href = '#history/' + encodeURIComponent(name);
  return link;
}
