'use strict';
// The appeals page: the open appeals from the public page, each accepted
// (its ban lifted) or rejected with a reply through the action form.

async function loadAppeals() {
  const result = await call('GET', '/api/appeals');
  if (result.status !== 200) {
    fillTable('appeals', [], () => [], 'appeals: ' + errorOf(result));
    return;
  }
  fillTable('appeals', result.data.appeals, (a) => {
    const person = { id: null, name: a.name, appeal: a.id, ban: a.ban };
    return ['#' + a.id, timeText(a.time), '#' + a.ban, playerLink(a.name), a.text,
      actButtons(['appeal accept', 'appeal reject'], person, loadAppeals)];
  }, 'no open appeals');
}

$('appeals-refresh').addEventListener('click', loadAppeals);
