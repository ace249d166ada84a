'use strict';
// The login, the pages by address, and the end of a session: a session
// found gone by any request returns the page to the login form, saying why.

const pages = ['players', 'console', 'charts', 'history', 'bans', 'audit', 'rules', 'reports',
  'appeals', 'account'];
// The read of the client's table each page needs; a page whose read the
// login may not make is left out of the bar.
const pageReads = { history: 'history', bans: 'bans', audit: 'audit', rules: 'rules',
  reports: 'reports', appeals: 'appeals' };
let readable = pages;
let chartsTimer = null;

function showPage() {
  const [name, ...rest] = location.hash.slice(1).split('/');
  const page = readable.includes(name) ? name : 'players';
  for (const p of pages) $('page-' + p).hidden = p !== page;
  for (const link of $('nav').querySelectorAll('a')) {
    if (link.getAttribute('href') === '#' + page) link.setAttribute('aria-current', 'page');
    else link.removeAttribute('aria-current');
  }
  if (page === 'players') {
    loadRecent();
    loadFleet();
  }
  if (page === 'console') scrollConsole();
  if (page === 'charts') loadCharts();
  if (page === 'history' && rest.length) showPlayer(decodeURIComponent(rest.join('/')));
  if (page === 'bans') loadBans();
  if (page === 'audit') loadAudit();
  if (page === 'rules') loadRules();
  if (page === 'appeals') loadAppeals();
  if (page === 'account') loadAccount();
  if (page === 'reports') {
    loadReports();
    if (rest.length && /^\d{1,18}$/.test(rest[0])) showReport(rest[0]);
  }
  return page;
}

window.addEventListener('hashchange', () => {
  if ($('panel').hidden) return;
  const page = showPage();
  // Keyboard users land on the page's title, not at the top of the document.
  const title = $(page === 'players' ? 'server-title' : page + '-title');
  if (title) title.focus();
});

function show(loggedIn, name) {
  $('login').hidden = loggedIn;
  $('panel').hidden = !loggedIn;
  $('nav').hidden = !loggedIn;
  $('logout').hidden = !loggedIn;
  $('who').textContent = loggedIn ? name + ' (level ' + level + ')' : '';
  if (!loggedIn) {
    $('server-banner').hidden = true;
    $('stream-banner').hidden = true;
  }
}

function start(session) {
  csrf = session.csrf;
  level = session.level;
  account = session.name;
  needs = Object.fromEntries((session.acts || []).map((act) => [act.name, act.level]));
  const reads = session.reads || [];
  readable = pages.filter((p) => !pageReads[p] || reads.includes(pageReads[p]));
  for (const link of $('nav').querySelectorAll('a')) {
    link.hidden = !readable.includes(link.getAttribute('href').slice(1));
  }
  $('outcome').hidden = true;
  show(true, session.name);
  showPage();
  chartsTimer = setInterval(() => { if (!$('page-charts').hidden) loadCharts(); }, 60000);
  openStream();
}

function stop(reason) {
  closeStream();
  if (chartsTimer) clearInterval(chartsTimer);
  chartsTimer = null;
  if ($('act-dialog').open) $('act-dialog').close();
  resetConsole();
  // The next login may have other acts: its table gets buttons of its own.
  $('players').rowsByKey = null;
  $('players').replaceChildren();
  csrf = '';
  show(false, '');
  $('login-error').textContent = reason || '';
}

onSessionEnded = (error) => {
  if ($('panel').hidden) return;
  stop('Your session has ended (' + (error || 'logged out') + '): the client restarted, ' +
    'or the session expired or was logged out. Log in again.');
};

$('login').addEventListener('submit', async (e) => {
  e.preventDefault();
  const form = new FormData($('login'));
  const credentials = { name: form.get('name'), password: form.get('password') };
  const code = form.get('code').trim();
  if (code !== '') credentials.code = code;
  // A 503 is a busy moment (every connection of this address taken): try again shortly.
  let result = await call('POST', '/api/login', credentials);
  for (let i = 0; i < 4 && result.status === 503; ++i) {
    await pause(250 * (i + 1));
    result = await call('POST', '/api/login', credentials);
  }
  $('login').reset();
  if (result.status === 200) {
    $('login-error').textContent = '';
    start(result.data);
  } else {
    $('login-error').textContent = errorOf(result);
  }
});

$('logout').addEventListener('click', async () => {
  await call('POST', '/api/logout');
  stop();
});

call('GET', '/api/session').then((r) => r.status === 200 ? start(r.data) : show(false, ''));
