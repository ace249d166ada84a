'use strict';
// The fleet: the other servers sharing the client's database, read from
// /api/fleet every few seconds while the players page shows. Their players
// join this server's in the players table, with the server chosen in the
// selector; an act on one of them is carried out by that server's client.

let fleetHere = '';      // this client's own server's name
let fleetNames = [];     // every server of the fleet, this one among them
let fleetServers = [];   // the other servers, as /api/fleet gives them
let fleetTimer = null;
const fleetRefreshMs = 5000;

// Whether the selector shows `server`: all servers, or that one.
function fleetShows(server) {
  const chosen = $('fleet-server').value;
  return chosen === '' || chosen === server;
}

// The other servers' players the selector shows.
function fleetOthers() {
  return fleetServers.filter((s) => s.online && fleetShows(s.name)).flatMap((s) => s.players);
}

function fillFleetSelector() {
  const select = $('fleet-server');
  const chosen = select.value;
  select.replaceChildren(element('option', 'all servers'));
  select.firstChild.value = '';
  for (const name of fleetNames) {
    const server = fleetServers.find((s) => s.name === name);
    const option = element('option', name + (server && !server.online ? ' (offline)' : ''));
    option.value = name;
    select.append(option);
  }
  select.value = fleetNames.includes(chosen) ? chosen : '';
  fillChartServers();
}

// The charts' choice in a fleet: this server's players online (the
// default), another's, or all servers' summed.
function fillChartServers() {
  const select = $('chart-server');
  const chosen = select.value;
  select.replaceChildren();
  for (const name of fleetNames) {
    const option = element('option', name);
    option.value = name === fleetHere ? '' : name;
    select.append(option);
  }
  const all = element('option', 'all servers');
  all.value = 'all';
  select.append(all);
  select.value = Array.from(select.options).some((o) => o.value === chosen) ? chosen : '';
  $('chart-server-label').hidden = fleetNames.length === 0;
}

async function loadFleet() {
  clearTimeout(fleetTimer);
  const result = await call('GET', '/api/fleet');
  if (result.status === 200) {
    fleetHere = result.data.server;
    fleetServers = result.data.servers.filter((s) => s.name !== fleetHere);
    fleetNames = result.data.servers.map((s) => s.name);
    if (fleetHere && !fleetNames.includes(fleetHere)) fleetNames.unshift(fleetHere);
    if (fleetServers.length === 0) fleetNames = [];
    $('fleet-form').hidden = fleetNames.length === 0;
    // One server alone needs no column naming it.
    $('players').parentElement.classList.toggle('one-server', fleetNames.length === 0);
    fillFleetSelector();
    const offline = fleetServers.filter((s) => !s.online).map((s) => s.name);
    $('fleet-state').textContent = offline.length ? 'offline: ' + offline.join(', ') : '';
    renderPlayers(livePlayers);
  }
  // No fleet (a database of the client's own, or the moderation off): not
  // asked again until the page opens anew.
  if (fleetNames.length && !$('page-players').hidden && !$('panel').hidden) {
    fleetTimer = setTimeout(loadFleet, fleetRefreshMs);
  }
}

$('fleet-server').addEventListener('change', () => renderPlayers(livePlayers));
$('fleet-form').addEventListener('submit', (e) => e.preventDefault());
