'use strict';
// The public ban record: bans found by name or number, an appeal sent,
// and an appeal's decision read back by its token. Texts are set as text,
// never as markup.

const $ = (id) => document.getElementById(id);

function timeText(seconds) {
  return seconds === null ? 'never' : new Date(seconds * 1000).toISOString().slice(0, 16)
    .replace('T', ' ') + ' UTC';
}

async function call(method, path, body) {
  const options = { method, headers: {} };
  if (body !== undefined) {
    options.headers['Content-Type'] = 'application/json';
    options.body = JSON.stringify(body);
  }
  try {
    const response = await fetch(path, options);
    return { status: response.status, data: await response.json() };
  } catch (e) {
    return { status: 0, data: { error: 'the server cannot be reached' } };
  }
}

function showBans(bans) {
  const body = $('bans');
  body.replaceChildren();
  for (const b of bans) {
    const row = document.createElement('tr');
    for (const value of ['#' + b.id, b.name, b.kind, b.reason, timeText(b.start),
      b.end === null ? 'never' : timeText(b.end), b.server]) {
      const cell = document.createElement('td');
      cell.textContent = value;
      row.append(cell);
    }
    body.append(row);
  }
}

$('find-form').addEventListener('submit', async (e) => {
  e.preventDefault();
  const query = e.target.elements.query.value.trim();
  const number = /^#?(\d{1,18})$/.exec(query);
  const result = number ? await call('GET', '/api/bans/' + number[1])
    : await call('GET', '/api/bans?name=' + encodeURIComponent(query));
  const bans = result.status === 200 ? (number ? [result.data] : result.data.bans) : [];
  showBans(bans);
  $('find-result').textContent = result.status === 200
    ? (bans.length ? bans.length + ' ban(s)' : 'no bans on ' + query) : result.data.error;
});

$('appeal-form').elements.text.addEventListener('input', (e) => {
  $('appeal-count').textContent = Array.from(e.target.value).length + ' of 2000 characters';
});

$('appeal-form').addEventListener('submit', async (e) => {
  e.preventDefault();
  const fields = e.target.elements;
  const result = await call('POST', '/api/appeals',
    { ban: fields.ban.value.trim(), name: fields.name.value.trim(), text: fields.text.value });
  if (result.status !== 200) {
    $('appeal-result').textContent = 'Not sent: ' + result.data.error;
    return;
  }
  $('appeal-result').textContent = 'Sent. Keep this token to see the decision: ' +
    result.data.token;
  $('check-form').elements.token.value = result.data.token;
  e.target.reset();
});

$('check-form').addEventListener('submit', async (e) => {
  e.preventDefault();
  const token = e.target.elements.token.value.trim().toLowerCase();
  if (!/^[0-9a-f]{64}$/.test(token)) {
    $('check-result').textContent = 'a token is 64 letters and digits, 0-9 and a-f';
    return;
  }
  const result = await call('GET', '/api/appeals/' + token);
  if (result.status !== 200) {
    $('check-result').textContent = result.data.error;
    return;
  }
  const a = result.data;
  const state = a.state === 'open' ? 'waiting for an admin' : a.state;
  $('check-result').textContent = 'Appeal of ban #' + a.ban + ' (token ' + token + '): ' + state +
    (a.reply ? '. Reply: ' + a.reply : '') + (a.decided ? ' (' + timeText(a.decided) + ')' : '');
});
