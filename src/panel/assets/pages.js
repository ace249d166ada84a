'use strict';
// The pages read from the records: the charts and the history (the bans
// and the audit are records.js's).

// ---- Charts -----------------------------------------------------------

const charts = {};

// The x axis in UTC and on a 24-hour clock, as every time of the panel.
const utcAxis = {
  values: (u, splits) => splits.map((s) => clockText(s).slice(0, 5)),
};

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
  const width = Math.max(280, Math.min(box.clientWidth || 800, 1100));
  const end = series.start + series.values.length * series.step;
  if (charts[id]) charts[id].destroy();
  box.replaceChildren();
  charts[id] = new uPlot({
    width, height: 200,
    tzDate: (ts) => uPlot.tzDate(new Date(ts * 1000), 'Etc/UTC'),
    scales: { x: { time: true, range: () => [series.start, end] },
      y: { range: (u, min, max) => [0, Math.max(1, max)] } },
    axes: [utcAxis, {}],
    // Each value counts a whole step: drawn as a step from its start to the
    // next one's, the last one to the end of the range.
    series: [{ value: (u, v) => v === null ? '-' : timeText(v) },
      { label, stroke: color, fill: color + '26', width: 2,
        paths: uPlot.paths.stepped({ align: 1 }), points: { show: false } }],
  }, [xs.concat([end]), series.values.concat([series.values[series.values.length - 1]])], box);
}

async function loadCharts() {
  const range = $('chart-range').value;
  const server = $('chart-server-label').hidden ? '' : $('chart-server').value;
  const result = await call('GET', '/api/charts?range=' + encodeURIComponent(range) +
    (server ? '&server=' + encodeURIComponent(server) : ''));
  if (result.status !== 200) {
    $('charts-result').textContent = 'charts: ' + errorOf(result);
    return;
  }
  $('charts-result').textContent = 'as of ' + timeText(result.data.now);
  drawChart('chart-players', result.data.players, 'players', '#2a6fb0');
  drawChart('chart-chat', result.data.chat, 'chat lines', '#2e7d4f');
  drawChart('chart-kills', result.data.kills, 'kills', '#b03a2e');
}

$('chart-range').addEventListener('change', loadCharts);
$('chart-server').addEventListener('change', loadCharts);

// ---- History ----------------------------------------------------------

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

function fillPlayerLists(h) {
  const aliases = $('player-aliases');
  aliases.replaceChildren();
  if (h.aliases.length === 0) aliases.append(element('span', 'none', 'empty'));
  h.aliases.forEach((alias, i) => aliases.append(i ? ', ' : '', playerLink(alias)));
  fillTable('player-sanctions', h.sanctions, (s) => ['#' + s.id, timeText(s.time), s.kind,
    s.seconds ? durationText(s.seconds) : '', s.actor, s.reason,
    s.lifted === null ? '' : timeText(s.lifted), s.server], 'no sanctions');
  const notes = $('player-notes');
  notes.replaceChildren();
  for (const n of h.notes) notes.append(element('li', timeText(n.time) + ' ' + n.actor + ': ' + n.text));
  if (h.notes.length === 0) notes.append(element('li', 'no notes', 'empty'));
  const chat = $('player-chat');
  chat.replaceChildren();
  for (const c of h.chat) {
    chat.append(element('li', timeText(c.time) + (c.server ? ' on ' + c.server : '') +
      (c.recipient === null ? ' said: ' : ' to ' + c.recipient + ': ') + c.text));
  }
  if (h.chat.length === 0) chat.append(element('li', 'no chat recorded', 'empty'));
}

async function showPlayer(name, keepFocus) {
  const result = await call('GET', '/api/history?name=' + encodeURIComponent(name));
  if (result.status !== 200) {
    $('player').hidden = true;
    $('history-result').textContent = errorOf(result);
    return;
  }
  const h = result.data, p = h.player;
  const shown = p ? p.name : h.name;
  $('history-result').textContent = '';
  $('player-name').textContent = shown;
  // On the server: acted on by id and name; else by name alone.
  $('player-actions').replaceChildren(actButtons(absentActs,
    { id: h.online === null ? null : h.online, name: shown }, () => showPlayer(name, true)));
  fillList($('player-record'), p ? [
    ['Online', h.online === null ? 'no' : 'yes, as #' + h.online],
    ['Last seen', timeText(p.lastSeen)], ['First seen', timeText(p.firstSeen)],
    ['Visits', p.visits], ['Time played', durationText(p.secondsPlayed)],
    ['Kills', p.kills], ['Deaths', p.deaths]] : [['Record', 'never seen on the server']]);
  fillPlayerLists(h);
  $('player').hidden = false;
  if (!keepFocus) $('player-name').focus();
}

$('search').addEventListener('submit', (e) => {
  e.preventDefault();
  search($('search').elements.q.value);
});
