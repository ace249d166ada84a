#ifndef GSADMIN_TESTS_FUZZ_PROBE_SCRIPT_H_
#define GSADMIN_TESTS_FUZZ_PROBE_SCRIPT_H_

namespace gsadmin::fuzz {

// A script with a handler for every event that calls every query with the
// event's arguments, splits its texts and sends commands back.
inline const char kProbeScript[] = R"lua(
local function probe(a, b)
  getPlayerName(a) getPlayerKills(a) getPlayerDeaths(a) getPlayerHealth(a)
  getPlayerStatus(a) getPlayerVehicle(a) getPlayerPosition(a)
  getVehicleName(b) getVehicleHealth(b) getVehiclePosition(b)
  getVehicleSpawnpoint(b) getVehicleDriver(b) getVehicleIsPassenger(b, a)
  getVehicleIsPassenger(a, a) getWeaponName(a) getWeaponName(b)
  getServerName() getServerMOTD() getServerGame() getServerGameMode()
  getServerMaxPlayers() isConnected() getAdminName() getAdminPassword()
  getServerIP() getServerPort()
  local v = getPlayerVehicle(a)
  if v then getVehicleDriver(v) getVehicleName(v) end
  local d = b and getVehicleDriver(b)
  if d then getPlayerName(d) end
end

function onAny(a, b, c)
  if type(a) == 'string' then
    gettok(a, 0, ' ') gettok(a, 3, ' ,') sendChat(a)
    probe(#a, 0)
  else
    probe(a, b)
    if type(b) == 'string' then
      gettok(b, 1, ' ') sendMessage(a, b)
      if b:sub(1, 1) == '!' then slapPlayer(a) kickPlayer(a) banPlayer(a) end
    end
  end
end

for _, event in ipairs({'onStart', 'onConnect', 'onDisconnect', 'onPlayerJoin',
    'onPlayerQuit', 'onPlayerPositionChange', 'onPlayerHealthChange',
    'onVehicleHealthChange', 'onPlayerVehicleEnter', 'onPlayerVehicleExit',
    'onAdminChat', 'onAdminMessage', 'onPlayerChat', 'onPlayerMessage',
    'onPlayerDeath', 'onScriptStop', 'onConsoleCommand', 'onPlayerSanctioned',
    'onPlayerReport'}) do
  addEventHandler(event, 'onAny')
end
)lua";

}  // namespace gsadmin::fuzz

#endif  // GSADMIN_TESTS_FUZZ_PROBE_SCRIPT_H_
