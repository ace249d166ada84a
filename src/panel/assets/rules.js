'use strict';
// The rules page: the moderation rules in force and their matches in the
// last hour, read only (the rules are changed in their file).

async function loadRules() {
  const result = await call('GET', '/api/rules');
  if (result.status !== 200) {
    fillTable('rules', [], () => [], 'rules: ' + errorOf(result));
    return;
  }
  const r = result.data;
  fillTable('rules', r.rules, (rule) => [rule.name, rule.kind, rule.acts.join(', '),
    rule.matchesLastHour],
  r.loaded ? 'the rules file has no rules' : 'no rules: the client was started without --rules');
}

$('rules-refresh').addEventListener('click', loadRules);
