'use strict';
// The reports page: the players' open and claimed reports, one report's
// evidence as a timeline, and claim and close through the action form.

function reportState(r) {
  if (r.state === 'claimed') return 'claimed by ' + r.claimedBy;
  if (r.state !== 'closed') return r.state;
  const outcome = r.sanction === null ? 'closed, no action' : 'closed with #' + r.sanction;
  return r.note ? outcome + ': ' + r.note : outcome;
}

function reporterText(r) {
  return r.reporters > 1 ? r.reporter + ' (+' + (r.reporters - 1) + ' more)' : r.reporter;
}

// The claim and close buttons of an unclosed report; both show it anew once
// done.
function reportActs(r) {
  const acts = r.state === 'closed' ? [] : ['report claim', 'report close'];
  return actButtons(acts, { id: null, name: r.target, report: r.id }, () => {
    loadReports();
    showReport(r.id);
  });
}

async function loadReports() {
  const result = await call('GET', '/api/reports');
  if (result.status !== 200) {
    fillTable('reports', [], () => [], 'reports: ' + errorOf(result));
    return;
  }
  fillTable('reports', result.data.reports, (r) => {
    const acts = reportActs(r);
    acts.prepend(button('show', 'show report #' + r.id, () => showReport(r.id)));
    return ['#' + r.id, timeText(r.time), playerLink(r.target), reporterText(r), r.reason,
      reportState(r), acts];
  }, 'no open reports');
}

function evidenceItem(e) {
  const item = element('li', undefined, e.kind);
  const when = element('time', clockText(e.time));
  when.dateTime = new Date(e.time * 1000).toISOString();
  const what = e.kind === 'kill' ? e.name + ' killed ' + e.other
    : e.name + (e.other ? ' to ' + e.other : '') + ': ' + e.text;
  item.append(when, ' ', what);
  return item;
}

async function showReport(id) {
  const result = await call('GET', '/api/reports/' + id);
  const box = $('report');
  if (result.status !== 200) {
    $('report-result').textContent = 'report #' + id + ': ' + errorOf(result);
    box.hidden = true;
    return;
  }
  const r = result.data;
  $('report-result').textContent = '';
  $('report-title').textContent = 'Report #' + r.id + ' on ' + r.target;
  fillList($('report-record'), [['Made', timeText(r.time)], ['Reported by',
    r.reporterNames.join(', ')], ['Reason', r.reason], ['State', reportState(r)]]);
  $('report-actions').replaceChildren(reportActs(r));
  const list = $('report-evidence');
  list.replaceChildren();
  r.evidence.forEach((e) => list.append(evidenceItem(e)));
  if (r.evidence.length === 0) {
    list.append(element('li', r.collecting ? 'copied a minute after the report'
      : 'no chat lines or kills', 'empty'));
  } else if (r.collecting) {
    list.append(element('li', 'more is copied a minute after the last report', 'empty'));
  }
  box.hidden = false;
}

$('reports-refresh').addEventListener('click', loadReports);
