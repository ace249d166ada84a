'use strict';
// The Bans and Audit pages: their searches, pages of rows and exports, and
// the acts on a ban (a new reason, a new length, the unban), each through
// the action form of act.js.

// One search: its filter inputs, the cursor of each page seen, and where
// its rows go.
function recordSearch(page, route, fields, label) {
  const search = { page, route, fields, inputs: {}, cursors: [null], next: null };
  const form = element('form', undefined, 'inline record-filters');
  form.id = page + '-filters';
  form.setAttribute('role', 'search');
  form.setAttribute('aria-label', label);
  for (const [key, caption, kind] of fields) {
    const input = kind === 'state' ? element('select') : element('input');
    if (kind === 'state') {
      for (const state of ['active', 'ended', 'all']) {
        const option = element('option', state);
        option.value = state;
        input.append(option);
      }
    } else {
      input.type = kind;
      input.maxLength = 64;
      input.autocomplete = 'off';
    }
    input.id = page + '-filter-' + key;
    const field = element('label', caption + ' ');
    field.append(input);
    form.append(field);
    search.inputs[key] = input;
  }
  const go = element('button', 'Search');
  go.type = 'submit';
  const newer = button('Newer', undefined, () => { search.cursors.pop(); loadPage(search); });
  const older = button('Older', undefined, () => {
    search.cursors.push(search.next);
    loadPage(search);
  });
  newer.id = page + '-newer';
  older.id = page + '-older';
  const csv = element('a', 'Export CSV', 'export');
  const json = element('a', 'Export JSON', 'export');
  csv.id = page + '-export-csv';
  json.id = page + '-export-json';
  form.append(go, newer, older, csv, json);
  $(page).closest('table').before(form);
  Object.assign(search, { newer, older, csv, json });
  form.addEventListener('submit', (event) => {
    event.preventDefault();
    search.cursors = [null];
    loadPage(search);
  });
  return search;
}

// The query of the search's filters, with `before` when given.
function queryOf(search, before) {
  const params = new URLSearchParams();
  for (const [key, , kind] of search.fields) {
    let value = search.inputs[key].value.trim();
    if (kind === 'datetime-local' && value) value = String(Date.parse(value + 'Z') / 1000);
    if (value) params.set(key, value);
  }
  if (before) params.set('before', before);
  return params;
}

// Shows the page whose cursor is last in search.cursors; Older pushes the
// next one, Newer pops.
async function loadPage(search) {
  if (search.cursors.length === 0) search.cursors = [null];
  const before = search.cursors[search.cursors.length - 1];
  for (const [link, format] of [[search.csv, 'csv'], [search.json, 'json']]) {
    const exported = queryOf(search, null);
    exported.set('format', format);
    link.href = search.route + '/export?' + exported.toString();
    link.download = search.page + '.' + format;
  }
  const result = await call('GET', search.route + '/search?' + queryOf(search, before).toString());
  const status = $(search.page + '-result');
  if (result.status !== 200) {
    fillTable(search.page, [], () => [], errorOf(result));
    status.textContent = search.page + ': ' + errorOf(result);
    return;
  }
  const rows = result.data[search.page];
  keepingFocus(() => search.render(rows));
  search.next = result.data.next;
  search.newer.disabled = search.cursors.length <= 1;
  search.older.disabled = search.next === null;
  status.textContent = 'Page ' + search.cursors.length + ': ' + rows.length +
    (rows.length === 1 ? ' row' : ' rows');
}

// ---- Bans ---------------------------------------------------------------

function banState(ban) {
  if (ban.lifted !== null) return ban.kind + ', lifted ' + timeText(ban.lifted);
  if (ban.until !== null && ban.until * 1000 <= Date.now()) return ban.kind + ', ended';
  return ban.kind;
}

// The acts on the row's ban; the unban (of every ban on the name) while
// this one is not lifted.
function banActions(ban) {
  const acts = ['ban reason', 'ban length'];
  if (ban.lifted === null) acts.push('unban');
  return actButtons(acts, { id: null, name: ban.name, ban: ban.id, reason: ban.reason,
    since: ban.time }, () => loadPage(bansSearch));
}

const bansSearch = recordSearch('bans', '/api/bans', [
  ['q', 'Name', 'search'], ['state', 'State', 'state'], ['actor', 'By', 'search'],
  ['server', 'Server', 'search']], 'Search the bans');
bansSearch.render = (bans) => fillTable('bans', bans, (b) => ['#' + b.id, playerLink(b.name),
  banState(b), timeText(b.time), b.until === null ? 'permanent' : timeText(b.until), b.actor,
  b.reason, b.server, banActions(b)],
bansSearch.inputs.state.value === 'active' ? 'no active bans' : 'no bans found');

// ---- Audit --------------------------------------------------------------

const auditSearch = recordSearch('audit', '/api/audit', [
  ['actor', 'By', 'search'], ['action', 'Action', 'search'], ['target', 'Target', 'search'],
  ['server', 'Server', 'search'], ['from', 'From (UTC)', 'datetime-local'],
  ['to', 'To (UTC)', 'datetime-local']], 'Search the audit');
auditSearch.render = (lines) => fillTable('audit', lines, (a) => [
  a.sanction === null || a.sanction === undefined ? '' : '#' + a.sanction, timeText(a.time),
  a.actor, a.action, a.target ? playerLink(a.target) : '', a.detail, a.server],
'nothing found in the audit');

// A page opens on the first page of its search, as Refresh shows it anew.
function loadBans() {
  bansSearch.cursors = [null];
  return loadPage(bansSearch);
}

function loadAudit() {
  auditSearch.cursors = [null];
  return loadPage(auditSearch);
}

$('bans-refresh').addEventListener('click', loadBans);
$('audit-refresh').addEventListener('click', loadAudit);
