'use strict';
// The action form: every act on a player or on a ban opens it, and nothing
// is done until it is sent; Cancel and Escape close it having done nothing.
// It acts on the person it was opened for: a player on the server by id and
// name (the client refuses when the id has passed to someone else), anyone
// else by name; an act on a ban names the ban by its number.

// What each act asks for: a text, a length, a reason, and whether needed;
// onBan when it acts on one ban rather than on a name.
const actForms = {
  message: { text: 'Message', textNeeded: true },
  slap: {},
  warn: { reason: true },
  kick: { reason: false },
  tempban: { duration: true, reason: true },
  ban: { reason: true },
  note: { text: 'Note for the other admins', textNeeded: true },
  unban: { reason: false },
  'ban reason': { reason: true, onBan: true },
  'ban length': { duration: true, onBan: true },
  'report claim': { onReport: true },
  'report close': { text: 'Sanction (#12, when one ended it) and note', onReport: true },
  'appeal accept': { text: 'Reply the appellant sees', onAppeal: true },
  'appeal reject': { text: 'Reply the appellant sees', textNeeded: true, onAppeal: true },
};
// The acts offered for a player on the server, and for one who is not.
const onlineActs = ['message', 'slap', 'warn', 'kick', 'tempban', 'ban'];
const absentActs = ['warn', 'tempban', 'ban', 'note', 'unban'];
const lengthPresets = [['30m', 1800], ['1h', 3600], ['6h', 21600], ['1d', 86400],
  ['7d', 604800], ['30d', 2592000]];
// A moderator's tempban may last up to a day (the client refuses longer).
const moderatorBanSeconds = 86400;

let actOpen = null;  // { act, person, after } while the form is open

function mayAct(act) {
  return needs[act] !== undefined && level >= needs[act];
}

// Buttons for the acts `acts` on `person` ({ id, name }; id null when not
// on the server; for the acts on a ban also its number `ban`, its `reason`
// and when it was made, `since`) that the account may do. `after` runs
// once an act is done.
function actButtons(acts, person, after) {
  const box = element('span', undefined, 'actions');
  for (const act of acts) {
    if (!mayAct(act)) continue;
    const node = button(act, act + ' ' + person.name, () => openAct(act, person, after));
    if ((actForms[act] || {}).onBan) node.title = act + ' of ban #' + person.ban;
    if ((actForms[act] || {}).onReport) node.title = act + ' #' + person.report;
    if ((actForms[act] || {}).onAppeal) node.title = act + ' #' + person.appeal;
    box.append(node);
  }
  return box;
}

function banKindText(act, person) {
  if (act === 'tempban') {
    return 'The client\'s ban: it refuses ' + person.name + ' at every join until it ends, ' +
      'and the panel can lift it (unban).';
  }
  if (act === 'ban' && person.id !== null) {
    return person.name + ' is on the server: this is the server\'s own ban, which the panel ' +
      'cannot lift (only the server can), and the client\'s ban on the name, which it can.';
  }
  if (act === 'ban') {
    return person.name + ' is not on the server: this is the client\'s ban on the name, ' +
      'which the panel can lift (unban).';
  }
  if (act === 'ban length') {
    return 'The length counts from when the ban was made (' + timeText(person.since) +
      '): longer or shorter than it is now.';
  }
  if (act === 'unban') {
    return 'Lifts the client\'s bans on ' + person.name + ' and its aliases. A ban of the ' +
      'server\'s own (made while the player was on the server) stays: lift it on the server.';
  }
  return '';
}

function fillPresets() {
  const box = $('act-presets');
  box.replaceChildren();
  for (const [text, seconds] of lengthPresets) {
    if (level < unbanLevel && seconds > moderatorBanSeconds) continue;
    const label = element('label');
    const input = element('input');
    input.type = 'radio';
    input.name = 'preset';
    input.value = text;
    label.append(input, ' ' + text);
    box.append(label);
  }
}

function openAct(act, person, after) {
  const form = actForms[act] || {};
  const fields = $('act-form').elements;
  $('act-form').reset();
  actOpen = { act, person, after };
  $('act-title').textContent = act[0].toUpperCase() + act.slice(1) + ' ' + person.name;
  $('act-target').textContent = form.onBan ? 'Ban #' + person.ban + ' on ' + person.name
    : form.onReport ? 'Report #' + person.report + ' on ' + person.name
    : form.onAppeal ? 'Appeal #' + person.appeal + ' of ban #' + person.ban + ' on ' + person.name
    : person.server ? person.name + ', #' + person.id + ' on ' + person.server + ' now'
    : person.id !== null ? person.name + ', #' + person.id + ' on the server now'
      : person.name + ', not on the server';
  $('act-text-field').hidden = !form.text;
  $('act-text-field').firstChild.textContent = (form.text || 'Text') + ' ';
  fields.text.required = !!form.textNeeded;
  $('act-duration-field').hidden = !form.duration;
  if (form.duration) fillPresets();
  $('act-reason-field').hidden = form.reason === undefined;
  $('act-reason-field').firstChild.textContent = form.reason ? 'Reason (needed) ' : 'Reason ';
  fields.reason.required = !!form.reason;
  if (act === 'ban reason') fields.reason.value = person.reason || '';
  $('act-ban-kind').textContent = banKindText(act, person);
  $('act-error').textContent = '';
  $('act-ok').textContent = $('act-title').textContent;
  $('act-dialog').showModal();
  // The first thing to fill in takes the focus, else the button that acts.
  const first = Array.from($('act-form').querySelectorAll('input'))
    .find((input) => input.offsetParent !== null);
  (first || $('act-ok')).focus();
}

// The action's body from the form; a reason to stay open when incomplete.
function actBody(act, person, fields) {
  const form = actForms[act] || {};
  const body = form.onBan ? { action: act, ban: person.ban }
    : form.onReport ? { action: act, report: person.report }
    : form.onAppeal ? { action: act, appeal: person.appeal } : { action: act, name: person.name };
  if (person.id !== null && !form.onBan && !form.onReport && !form.onAppeal) {
    body.player = person.id;
  }
  const text = fields.text.value.trim(), reason = fields.reason.value.trim();
  if (form.textNeeded && !text) return 'write the ' + form.text.toLowerCase();
  if (form.text) body.text = text;
  if (form.duration) {
    const chosen = fields.duration.value.trim() || (fields.preset && fields.preset.value);
    if (!chosen) return 'choose a length';
    body.duration = chosen;
  }
  if (form.reason && !reason) return 'a ' + act + ' needs a reason';
  if (form.reason !== undefined) body.reason = reason;
  // Another server of the fleet: its client carries the act out.
  if (person.server) body.server = person.server;
  return body;
}

$('act-form').addEventListener('submit', async (e) => {
  e.preventDefault();
  if (!actOpen) return;
  const { act, person, after } = actOpen;
  const body = actBody(act, person, $('act-form').elements);
  if (typeof body === 'string') {
    $('act-error').textContent = body;
    return;
  }
  actOpen = null;
  $('act-dialog').close();
  showOutcome(act + ' ' + person.name + ': sending…', '');
  const result = await postAction(body);
  await reportOutcome(act, person.name, result);
  if (after) after(result);
});

$('act-cancel').addEventListener('click', () => $('act-dialog').close());
// Escape closes the dialog by itself; either way nothing was sent.
$('act-dialog').addEventListener('close', () => { actOpen = null; });

function showOutcome(line, audit) {
  $('outcome').hidden = false;
  $('outcome-line').textContent = line;
  $('outcome-audit').textContent = audit;
}

// Says what became of the act and, when done, the audit's entry for it.
async function reportOutcome(act, name, result) {
  if (result.status !== 200) {
    showOutcome(act + ' ' + name + ': not done: ' + errorOf(result), '');
    return;
  }
  const note = result.data && result.data.note;
  showOutcome(act + ' ' + name + ': done' + (note ? ': ' + note : ''), '');
  if (act === 'message') return;
  const audit = await call('GET', '/api/audit');
  const rows = Array.isArray(audit.data) ? audit.data : (audit.data && audit.data.entries) || [];
  const mine = rows.find((a) => a.actor === 'panel:' + account &&
    String(a.target).toLowerCase() === name.toLowerCase());
  $('outcome-audit').textContent = mine ? 'Audit: ' + timeText(mine.time) + ' ' + mine.actor +
    ' ' + mine.action + ' ' + mine.target + (mine.detail ? ': ' + mine.detail : '')
    : (audit.status === 200 ? 'Audit: no entry found yet' : 'Audit: ' + errorOf(audit));
}
