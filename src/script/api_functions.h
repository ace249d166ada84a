#ifndef GSADMIN_SCRIPT_API_FUNCTIONS_H_
#define GSADMIN_SCRIPT_API_FUNCTIONS_H_

struct lua_State;

// The C functions behind the script API's globals, grouped by source file.
// Each takes its arguments from the calling script's stack, never raises a
// Lua error, and returns the number of values it pushed.
namespace gsadmin::api {

// api_events.cc
int addEventHandler(lua_State* L);
int removeEventHandler(lua_State* L);

// api_console.cc
int addConsoleCommand(lua_State* L);
int addChatCommand(lua_State* L);

// api_session.cc
int gettok(lua_State* L);
int getAdminName(lua_State* L);
int getAdminPassword(lua_State* L);
int isConnected(lua_State* L);
int getServerIP(lua_State* L);
int getServerPort(lua_State* L);
int getServerName(lua_State* L);
int getServerMOTD(lua_State* L);
int getServerGame(lua_State* L);
int getServerGameMode(lua_State* L);
int getServerMaxPlayers(lua_State* L);

// api_queries.cc
int getPlayerName(lua_State* L);
int getPlayerKills(lua_State* L);
int getPlayerDeaths(lua_State* L);
int getPlayerHealth(lua_State* L);
int getPlayerStatus(lua_State* L);
int getPlayerVehicle(lua_State* L);
int getPlayerPosition(lua_State* L);
int getVehicleName(lua_State* L);
int getVehicleHealth(lua_State* L);
int getVehiclePosition(lua_State* L);
int getVehicleSpawnpoint(lua_State* L);
int getVehicleDriver(lua_State* L);
int getVehicleIsPassenger(lua_State* L);
int getWeaponName(lua_State* L);
int getPlayers(lua_State* L);
int getPlayerCount(lua_State* L);

// api_time.cc
int setTimer(lua_State* L);
int killTimer(lua_State* L);
int getTickCount(lua_State* L);

// api_print.cc: replaces the base library's print; not in the API table.
int print(lua_State* L);

// api_commands.cc
int sendChat(lua_State* L);
int sendMessage(lua_State* L);
int slapPlayer(lua_State* L);
int kickPlayer(lua_State* L);
int banPlayer(lua_State* L);

// api_db.cc
int dbExec(lua_State* L);
int dbQuery(lua_State* L);

// api_sharing.cc
int getSetting(lua_State* L);
int require(lua_State* L);

// api_call_script.cc
int callScript(lua_State* L);

// api_moderation.cc
int getPlayerInfo(lua_State* L);
int warnPlayer(lua_State* L);
int tempbanPlayer(lua_State* L);
int unbanName(lua_State* L);
int getBan(lua_State* L);
int getWarnings(lua_State* L);
// api_requests.cc
int httpRequest(lua_State* L);

// api_json.cc
int jsonEncode(lua_State* L);
int jsonDecode(lua_State* L);
// Pushes jsonNull, the value that stands for JSON's null; published as a
// global beside the table's functions.
void pushJsonNull(lua_State* L);
// Makes the registry entry the two functions pass values through, so that
// using it never allocates; registerApi calls it.
void prepareJson(lua_State* L);

}  // namespace gsadmin::api

#endif  // GSADMIN_SCRIPT_API_FUNCTIONS_H_
