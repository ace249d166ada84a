#include "script/api.h"

#include "script/api_functions.h"
#include "script/lua.h"

namespace gsadmin {
namespace {

struct ApiEntry {
  const char* name;
  lua_CFunction function;
};

// Published in this order.
constexpr ApiEntry kApi[] = {
    {"addEventHandler", api::addEventHandler},
    {"removeEventHandler", api::removeEventHandler},
    {"gettok", api::gettok},
    {"sendChat", api::sendChat},
    {"sendMessage", api::sendMessage},
    {"getAdminName", api::getAdminName},
    {"getAdminPassword", api::getAdminPassword},
    {"isConnected", api::isConnected},
    {"getServerIP", api::getServerIP},
    {"getServerPort", api::getServerPort},
    {"getServerName", api::getServerName},
    {"getServerMOTD", api::getServerMOTD},
    {"getServerGame", api::getServerGame},
    {"getServerGameMode", api::getServerGameMode},
    {"getServerMaxPlayers", api::getServerMaxPlayers},
    {"getPlayerName", api::getPlayerName},
    {"getPlayerKills", api::getPlayerKills},
    {"getPlayerDeaths", api::getPlayerDeaths},
    {"getPlayerHealth", api::getPlayerHealth},
    {"getPlayerStatus", api::getPlayerStatus},
    {"getPlayerVehicle", api::getPlayerVehicle},
    {"getPlayerPosition", api::getPlayerPosition},
    {"slapPlayer", api::slapPlayer},
    {"kickPlayer", api::kickPlayer},
    {"banPlayer", api::banPlayer},
    {"getVehicleName", api::getVehicleName},
    {"getVehicleHealth", api::getVehicleHealth},
    {"getVehiclePosition", api::getVehiclePosition},
    {"getVehicleSpawnpoint", api::getVehicleSpawnpoint},
    {"getVehicleDriver", api::getVehicleDriver},
    {"getVehicleIsPassenger", api::getVehicleIsPassenger},
    {"getWeaponName", api::getWeaponName},
};

}  // namespace

void registerApi(lua_State* state) {
  for (const ApiEntry& entry : kApi) {
    lua_pushcclosure(state, entry.function, 0);
    lua_setfield(state, LUA_GLOBALSINDEX, entry.name);
  }
  // Script output takes the same road as every other console line.
  lua_pushcclosure(state, api::print, 0);
  lua_setfield(state, LUA_GLOBALSINDEX, "print");
}

int apiFunctionCount() {
  return static_cast<int>(sizeof(kApi) / sizeof(kApi[0]));
}

const char* apiFunctionName(int index) {
  return index >= 0 && index < apiFunctionCount() ? kApi[index].name : nullptr;
}

}  // namespace gsadmin
