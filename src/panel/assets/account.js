'use strict';
// The account page: the account's logins, each of which can be ended (a
// browser left logged in elsewhere), and at level 4 the API tokens of the
// tokens file and their revocation (tokens are made on the command line:
// gsadmin --new-token).

async function endSession(id) {
  const result = await call('POST', '/api/sessions/end', { id });
  $('sessions-result').textContent = result.status === 200 ? 'the login is ended'
    : 'not ended: ' + errorOf(result);
  loadSessions();
}

function endButton(session) {
  if (session.current) return 'this browser';
  const button = element('button', 'end');
  button.setAttribute('aria-label', 'end the login from ' + session.address);
  button.addEventListener('click', () => endSession(session.id));
  return button;
}

async function loadSessions() {
  const result = await call('GET', '/api/sessions');
  if (result.status !== 200) {
    fillTable('sessions', [], () => [], 'logins: ' + errorOf(result));
    return;
  }
  fillTable('sessions', result.data.sessions, (s) => [s.browser || 'unknown', s.address,
    timeText(s.started), timeText(s.lastSeen), endButton(s)], 'no logins');
}

async function revokeToken(label) {
  if (!window.confirm('Revoke the token ' + label + '? Whatever uses it is refused from now on.')) {
    return;
  }
  const result = await call('POST', '/api/tokens/revoke', { label });
  $('tokens-result').textContent = result.status === 200 ? 'revoked the token ' + label
    : 'not revoked: ' + errorOf(result);
  loadTokens();
}

function revokeButton(token) {
  const button = element('button', 'revoke');
  button.setAttribute('aria-label', 'revoke the token ' + token.label);
  button.addEventListener('click', () => revokeToken(token.label));
  return button;
}

async function loadTokens() {
  const result = await call('GET', '/api/tokens');
  if (result.status !== 200) {
    fillTable('tokens', [], () => [], 'tokens: ' + errorOf(result));
    return;
  }
  fillTable('tokens', result.data.tokens, (t) => [t.label, t.account, t.scope, timeText(t.created),
    t.expires === null ? 'never' : timeText(t.expires), revokeButton(t)],
  'no tokens: make one with gsadmin --new-token');
}

function loadAccount() {
  loadSessions();
  loadTokens();
}

$('account-refresh').addEventListener('click', loadAccount);
