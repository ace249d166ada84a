#include "script/api_args.h"
#include "script/api_functions.h"

namespace gsadmin::api {

int sendChat(lua_State*) {
  return 0;
}
int sendMessage(lua_State*) {
  return 0;
}
int slapPlayer(lua_State*) {
  return 0;
}
int kickPlayer(lua_State*) {
  return 0;
}
int banPlayer(lua_State*) {
  return 0;
}

}  // namespace gsadmin::api
