#include "script/api_args.h"
#include "script/api_functions.h"

namespace gsadmin::api {

int getPlayerName(lua_State*) {
  return 0;
}
int getPlayerKills(lua_State*) {
  return 0;
}
int getPlayerDeaths(lua_State*) {
  return 0;
}
int getPlayerHealth(lua_State*) {
  return 0;
}
int getPlayerStatus(lua_State*) {
  return 0;
}
int getPlayerVehicle(lua_State*) {
  return 0;
}
int getPlayerPosition(lua_State*) {
  return 0;
}
int getVehicleName(lua_State*) {
  return 0;
}
int getVehicleHealth(lua_State*) {
  return 0;
}
int getVehiclePosition(lua_State*) {
  return 0;
}
int getVehicleSpawnpoint(lua_State*) {
  return 0;
}
int getVehicleDriver(lua_State*) {
  return 0;
}
int getVehicleIsPassenger(lua_State*) {
  return 0;
}
int getWeaponName(lua_State*) {
  return 0;
}

}  // namespace gsadmin::api
