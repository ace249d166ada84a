#include "script/api.h"

#include "context/admin_actions.h"
#include "script/api_functions.h"
#include "script/lua.h"

namespace gsadmin {
namespace {

// Published in this order. The admin commands take the names of the
// actions they call, whose lines carry the same names.
constexpr ApiFunction kApi[] = {
    {"addEventHandler", ApiFamily::kHandlers, api::addEventHandler},
    {"removeEventHandler", ApiFamily::kHandlers, api::removeEventHandler},
    {"gettok", ApiFamily::kText, api::gettok},
    {admin::kSendChat, ApiFamily::kChat, api::sendChat},
    {admin::kSendMessage, ApiFamily::kPlayer, api::sendMessage},
    {"getAdminName", ApiFamily::kSettings, api::getAdminName},
    {"getAdminPassword", ApiFamily::kSettings, api::getAdminPassword},
    {"isConnected", ApiFamily::kSettings, api::isConnected},
    {"getServerIP", ApiFamily::kSettings, api::getServerIP},
    {"getServerPort", ApiFamily::kSettings, api::getServerPort},
    {"getServerName", ApiFamily::kServer, api::getServerName},
    {"getServerMOTD", ApiFamily::kServer, api::getServerMOTD},
    {"getServerGame", ApiFamily::kServer, api::getServerGame},
    {"getServerGameMode", ApiFamily::kServer, api::getServerGameMode},
    {"getServerMaxPlayers", ApiFamily::kServer, api::getServerMaxPlayers},
    {"getPlayerName", ApiFamily::kPlayer, api::getPlayerName},
    {"getPlayerKills", ApiFamily::kPlayer, api::getPlayerKills},
    {"getPlayerDeaths", ApiFamily::kPlayer, api::getPlayerDeaths},
    {"getPlayerHealth", ApiFamily::kPlayer, api::getPlayerHealth},
    {"getPlayerStatus", ApiFamily::kPlayer, api::getPlayerStatus},
    {"getPlayerVehicle", ApiFamily::kPlayer, api::getPlayerVehicle},
    {"getPlayerPosition", ApiFamily::kPlayer, api::getPlayerPosition},
    {admin::kSlapPlayer, ApiFamily::kPlayer, api::slapPlayer},
    {admin::kKickPlayer, ApiFamily::kPlayer, api::kickPlayer},
    {admin::kBanPlayer, ApiFamily::kPlayer, api::banPlayer},
    {"getVehicleName", ApiFamily::kVehicle, api::getVehicleName},
    {"getVehicleHealth", ApiFamily::kVehicle, api::getVehicleHealth},
    {"getVehiclePosition", ApiFamily::kVehicle, api::getVehiclePosition},
    {"getVehicleSpawnpoint", ApiFamily::kVehicle, api::getVehicleSpawnpoint},
    {"getVehicleDriver", ApiFamily::kVehicle, api::getVehicleDriver},
    {"getVehicleIsPassenger", ApiFamily::kVehicle, api::getVehicleIsPassenger},
    {"getWeaponName", ApiFamily::kWeapon, api::getWeaponName},
    {"dbExec", ApiFamily::kDatabase, api::dbExec},
    {"dbQuery", ApiFamily::kDatabase, api::dbQuery},
    {"setTimer", ApiFamily::kTimers, api::setTimer},
    {"killTimer", ApiFamily::kTimers, api::killTimer},
    {"getTickCount", ApiFamily::kSettings, api::getTickCount},
    {"getPlayers", ApiFamily::kSettings, api::getPlayers},
    {"getPlayerCount", ApiFamily::kSettings, api::getPlayerCount},
    {"getSetting", ApiFamily::kSharing, api::getSetting},
    {"require", ApiFamily::kSharing, api::require},
    {"callScript", ApiFamily::kSharing, api::callScript},
    {"addConsoleCommand", ApiFamily::kHandlers, api::addConsoleCommand},
    {"addChatCommand", ApiFamily::kHandlers, api::addChatCommand},
    {"getPlayerInfo", ApiFamily::kPlayer, api::getPlayerInfo},
    {"warnPlayer", ApiFamily::kModeration, api::warnPlayer},
    {"tempbanPlayer", ApiFamily::kModeration, api::tempbanPlayer},
    {"unbanName", ApiFamily::kModeration, api::unbanName},
    {"getBan", ApiFamily::kModeration, api::getBan},
    {"getWarnings", ApiFamily::kModeration, api::getWarnings},
    // Requests and JSON.
    {"httpRequest", ApiFamily::kRequests, api::httpRequest},
    {"jsonEncode", ApiFamily::kEncode, api::jsonEncode},
    {"jsonDecode", ApiFamily::kRequests, api::jsonDecode},
};

}  // namespace

void registerApi(lua_State* state) {
  for (const ApiFunction& entry : kApi) {
    lua_pushcclosure(state, entry.body, 0);
    lua_setfield(state, LUA_GLOBALSINDEX, entry.name);
  }
  // Script output takes the same road as every other console line.
  lua_pushcclosure(state, api::print, 0);
  lua_setfield(state, LUA_GLOBALSINDEX, "print");
  api::pushJsonNull(state);
  lua_setfield(state, LUA_GLOBALSINDEX, "jsonNull");
  api::prepareJson(state);
}

int apiFunctionCount() {
  return static_cast<int>(sizeof(kApi) / sizeof(kApi[0]));
}

std::span<const ApiFunction> apiFunctions() {
  return kApi;
}

const char* apiFunctionNameOf(lua_CFunction body) {
  for (const ApiFunction& entry : kApi) {
    if (entry.body == body) return entry.name;
  }
  return nullptr;
}

const char* apiFunctionName(int index) {
  return index >= 0 && index < apiFunctionCount() ? kApi[index].name : nullptr;
}

}  // namespace gsadmin
