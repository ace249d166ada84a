'use strict';
// The Bans and Audit pages' searches, pages, exports and the edits of a
// ban. Loaded after app.js, whose call(), postAction(), fillTable(),
// element(), timeText(), playerLink() and level it uses; it takes over
// loadBans() and loadAudit(), which app.js calls when a page opens.

// One search: its filter inputs, the cursor of each page seen, and where
// its rows go.
function recordSearch(page, route, fields) {
  const search = { page, route, fields, inputs: {}, cursors: [null] };
  const form = element('form', undefined, 'record-filters');
  form.id = page + '-filters';
  for (const [key, label, kind] of fields) {
    const input = kind === 'state' ? element('select') : element('input');
    if (kind === 'state') {
      for (const state of ['active', 'ended', 'all']) input.append(element('option', state));
    } else {
      input.type = kind;
      input.maxLength = 64;
    }
    input.id = page + '-filter-' + key;
    const caption = element('label', label + ' ');
    caption.append(input);
    form.append(caption);
    search.inputs[key] = input;
  }
  const go = element('button', 'Search');
  go.type = 'submit';
  const newer = element('button', 'Newer');
  const older = element('button', 'Older');
  for (const button of [newer, older]) button.type = 'button';
  newer.id = page + '-newer';
  older.id = page + '-older';
  const csv = element('a', 'Export CSV');
  const json = element('a', 'Export JSON');
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
  newer.addEventListener('click', () => { search.cursors.pop(); loadPage(search); });
  older.addEventListener('click', () => { search.cursors.push(search.next); loadPage(search); });
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

// Shows the page whose cursor is last in search.cursors; `older` pushes the
// next one.
async function loadPage(search) {
  if (search.cursors.length === 0) search.cursors = [null];
  const before = search.cursors[search.cursors.length - 1];
  const params = queryOf(search, before);
  for (const [link, format] of [[search.csv, 'csv'], [search.json, 'json']]) {
    const exported = queryOf(search, null);
    exported.set('format', format);
    link.href = search.route + '/export?' + exported.toString();
    link.download = search.page + '.' + format;
  }
  const result = await call('GET', search.route + '/search?' + params.toString());
  if (result.status !== 200) {
    fillTable(search.page, [], () => [], errorOf(result));
    return;
  }
  const rows = result.data[search.page];
  search.render(rows);
  search.newer.disabled = search.cursors.length <= 1;
  search.next = result.data.next;
  search.older.disabled = search.next === null;
}

// ---- Bans ---------------------------------------------------------------

async function editBan(ban, what) {
  const body = { ban: ban.id };
  if (what === 'ban reason') {
    body.reason = prompt('New reason for ban #' + ban.id + ' on ' + ban.name, ban.reason);
    if (body.reason === null) return;
  } else if (what === 'ban length') {
    body.duration = prompt('Ban #' + ban.id + ' on ' + ban.name +
      ' lasts, from when it was made (e.g. 2h, 7d)');
    if (body.duration === null) return;
  } else {
    const reason = prompt('Reason for lifting the bans on ' + ban.name);
    if (reason === null) return;
    Object.assign(body, { name: ban.name, reason });
    delete body.ban;
  }
  body.action = what;
  const result = await postAction(body);
  $('bans-result').textContent = what + ' ' + ban.name + ': ' +
    (result.status === 200 ? 'done' : errorOf(result));
  loadPage(bansSearch);
}

function banState(ban) {
  if (ban.lifted !== null) return ban.kind + ', lifted ' + timeText(ban.lifted);
  if (ban.until !== null && ban.until * 1000 <= Date.now()) return ban.kind + ', ended';
  return ban.kind;
}

function banActions(ban) {
  const cell = element('span');
  if (level < unbanLevel) return cell;
  const edits = [['ban reason', 'reason'], ['ban length', 'length']];
  if (ban.lifted === null) edits.push(['unban', 'unban']);
  for (const [what, label] of edits) {
    const button = element('button', label);
    button.setAttribute('aria-label', label + ' ' + ban.name);
    button.title = label + ' of ban #' + ban.id;
    button.addEventListener('click', () => editBan(ban, what));
    cell.append(button);
  }
  return cell;
}

const bansSearch = recordSearch('bans', '/api/bans', [
  ['q', 'Name', 'search'], ['state', 'State', 'state'], ['actor', 'By', 'search'],
  ['server', 'Server', 'search']]);
// The ban's number, which the edits name, in a column of its own.
$('bans').closest('table').querySelector('thead tr').prepend(element('th', '#'));
bansSearch.render = (bans) => fillTable('bans', bans, (b) => ['#' + b.id, playerLink(b.name),
  banState(b), timeText(b.time), b.until === null ? 'permanent' : timeText(b.until), b.actor,
  b.reason, banActions(b)],
bansSearch.inputs.state.value === 'active' ? 'no active bans' : 'no bans found');

// ---- Audit --------------------------------------------------------------

const auditSearch = recordSearch('audit', '/api/audit', [
  ['actor', 'By', 'search'], ['action', 'Action', 'search'], ['target', 'Target', 'search'],
  ['server', 'Server', 'search'], ['from', 'From (UTC)', 'datetime-local'],
  ['to', 'To (UTC)', 'datetime-local']]);
auditSearch.render = (lines) => fillTable('audit', lines, (a) => [timeText(a.time), a.actor,
  a.action, a.target ? playerLink(a.target) : '', a.detail], 'nothing found in the audit');

// The pages open on their searches; their refresh buttons show the first
// page anew.
$('bans-refresh').removeEventListener('click', loadBans);
$('audit-refresh').removeEventListener('click', loadAudit);
loadBans = () => { bansSearch.cursors = [null]; return loadPage(bansSearch); };
loadAudit = () => { auditSearch.cursors = [null]; return loadPage(auditSearch); };
$('bans-refresh').addEventListener('click', loadBans);
$('audit-refresh').addEventListener('click', loadAudit);
