#include "context/session_context.h"
#include "model/player.h"
#include "model/player_manager.h"
#include "model/vehicle.h"
#include "model/weapon.h"
#include "script/api_args.h"
#include "script/api_functions.h"
#include "script/lua.h"

namespace gsadmin::api {
namespace {

// Each query is its lookup, with the family's diagnostics, and then its
// results: a function that pushes them and returns their count.
using PlayerResults = int (*)(const ApiCall&, const Player&);
using VehicleResults = int (*)(const ApiCall&, const Vehicle&);

int playerQuery(lua_State* L, PlayerResults results, const char* invalidArgumentLine = nullptr) {
  ApiCall call(L);
  const Player* player = call.player(1, invalidArgumentLine);
  return player ? results(call, *player) : 0;
}

int vehicleQuery(lua_State* L, VehicleResults results) {
  ApiCall call(L);
  const Vehicle* vehicle = call.vehicle(1);
  return vehicle ? results(call, *vehicle) : 0;
}

// Pushes x, y and z, in that order, and returns 3.
int pushThree(const ApiCall& call, double x, double y, double z) {
  call.pushNumber(x);
  call.pushNumber(y);
  call.pushNumber(z);
  return 3;
}

}  // namespace

int getPlayerName(lua_State* L) {
  return playerQuery(
      L, [](const ApiCall& call, const Player& player) { return call.pushText(player.name); });
}

int getPlayerKills(lua_State* L) {
  return playerQuery(
      L, [](const ApiCall& call, const Player& player) { return call.pushNumber(player.kills); });
}

int getPlayerDeaths(lua_State* L) {
  return playerQuery(
      L, [](const ApiCall& call, const Player& player) { return call.pushNumber(player.deaths); },
      "getPlayerDeath: Invalid Argument #1.");
}

int getPlayerHealth(lua_State* L) {
  return playerQuery(L, [](const ApiCall& call, const Player& player) {
    return call.pushNumber(truncateToInt32(player.health));
  });
}

int getPlayerStatus(lua_State* L) {
  return playerQuery(L, [](const ApiCall& call, const Player& player) {
    return call.pushNumber(static_cast<uint32_t>(player.status) & 0xFFu);
  });
}

int getPlayerVehicle(lua_State* L) {
  return playerQuery(L, [](const ApiCall& call, const Player& player) {
    return player.vehicle ? call.pushNumber(player.vehicle->id) : call.pushNil();
  });
}

int getPlayerPosition(lua_State* L) {
  return playerQuery(L, [](const ApiCall& call, const Player& player) {
    const Position& at = player.position;
    return pushThree(call, truncateToInt32(at.x), truncateToInt32(at.y), truncateToInt32(at.z));
  });
}

int getVehicleName(lua_State* L) {
  return vehicleQuery(
      L, [](const ApiCall& call, const Vehicle& vehicle) { return call.pushText(vehicle.name); });
}

int getVehicleHealth(lua_State* L) {
  return vehicleQuery(L, [](const ApiCall& call, const Vehicle& vehicle) {
    return call.pushInteger(truncateToInt32(vehicle.health));
  });
}

int getVehiclePosition(lua_State* L) {
  return vehicleQuery(L, [](const ApiCall& call, const Vehicle& vehicle) {
    const Position& at = vehicle.position;
    return pushThree(call, at.x, at.y, at.z);
  });
}

int getVehicleSpawnpoint(lua_State* L) {
  return vehicleQuery(L, [](const ApiCall& call, const Vehicle& vehicle) {
    const Position& at = vehicle.spawnpoint;
    return pushThree(call, at.x, at.y, at.z);
  });
}

int getVehicleDriver(lua_State* L) {
  return vehicleQuery(L, [](const ApiCall& call, const Vehicle& vehicle) {
    return vehicle.driver ? call.pushInteger(vehicle.driver->id) : call.pushNil();
  });
}

int getVehicleIsPassenger(lua_State* L) {
  ApiCall call(L);
  if (!call.isNumber(1) || !call.isNumber(2)) return call.refuse("Invalid Parameters");
  const Vehicle* vehicle = call.findVehicle(1);
  if (vehicle == nullptr) return 0;
  const Player* player = call.findPlayer(2);
  if (player == nullptr) return 0;
  return call.pushBoolean(vehicle->hasPassenger(player));
}

int getWeaponName(lua_State* L) {
  ApiCall call(L);
  const Weapon* weapon = call.weapon(1);
  return weapon ? call.pushText(weapon->name) : 0;
}

}  // namespace gsadmin::api

namespace gsadmin::api {

int getPlayers(lua_State* L) {
  ApiCall call(L);
  SessionContext* session = call.session();
  const auto* players = session ? &session->players().all() : nullptr;
  int count = players ? static_cast<int>(players->size()) : 0;
  lua_createtable(L, count, 0);
  for (int i = 0; i < count; ++i) {
    lua_pushinteger(L, (*players)[static_cast<size_t>(i)]->id);
    lua_rawseti(L, -2, i + 1);
  }
  return 1;
}

int getPlayerCount(lua_State* L) {
  ApiCall call(L);
  SessionContext* session = call.session();
  return call.pushInteger(session ? static_cast<int64_t>(session->players().count()) : 0);
}

}  // namespace gsadmin::api
