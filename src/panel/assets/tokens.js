'use strict';
// The tokens page: the API tokens of the tokens file and their revocation,
// at level 4 (tokens are made on the command line: gsadmin --new-token).

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

$('tokens-refresh').addEventListener('click', loadTokens);
