#include "script/api_args.h"
#include "script/api_functions.h"

namespace gsadmin::api {

int gettok(lua_State*) {
  return 0;
}
int getAdminName(lua_State*) {
  return 0;
}
int getAdminPassword(lua_State*) {
  return 0;
}
int isConnected(lua_State*) {
  return 0;
}
int getServerIP(lua_State*) {
  return 0;
}
int getServerPort(lua_State*) {
  return 0;
}
int getServerName(lua_State*) {
  return 0;
}
int getServerMOTD(lua_State*) {
  return 0;
}
int getServerGame(lua_State*) {
  return 0;
}
int getServerGameMode(lua_State*) {
  return 0;
}
int getServerMaxPlayers(lua_State*) {
  return 0;
}

}  // namespace gsadmin::api
