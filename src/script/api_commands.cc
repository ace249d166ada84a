#include <optional>
#include <string_view>

#include "context/admin_actions.h"
#include "context/session_context.h"
#include "script/api_args.h"
#include "script/api_functions.h"

namespace gsadmin::api {
namespace {

// slapPlayer, kickPlayer and banPlayer: [player id] -> no value.
int actOnPlayer(lua_State* L, admin::PlayerAction action) {
  ApiCall call(L);
  if (!call.isNumber(1)) return call.refuse("Invalid Argument #1.");
  SessionContext* session = call.playerSession();
  if (session != nullptr) action(*session, call.id(1));
  return 0;
}

}  // namespace

// [text] -> no value.
int sendChat(lua_State* L) {
  ApiCall call(L);
  if (call.argumentCount() < 1) return 0;
  if (!call.isString(1)) return call.refuse("Invalid Argument #1.");
  // Converting a number may raise: the view is taken before the action
  // makes any C++ object, and no Lua call follows it.
  std::string_view text = call.textView(1);
  if (SessionContext* session = call.session()) admin::sendChat(*session, text);
  return 0;
}

// [player id, text] -> no value.
int sendMessage(lua_State* L) {
  ApiCall call(L);
  if (!call.isNumber(1)) return call.refuse("Invalid Argument #1.");
  if (!call.isString(2)) return call.refuse("Invalid Argument #2.");
  std::string_view text = call.textView(2);  // as in sendChat
  SessionContext* session = call.playerSession();
  if (session != nullptr) admin::sendMessage(*session, call.id(1), text);
  return 0;
}

int slapPlayer(lua_State* L) {
  return actOnPlayer(L, admin::slapPlayer);
}

int kickPlayer(lua_State* L) {
  return actOnPlayer(L, admin::kickPlayer);
}

int banPlayer(lua_State* L) {
  return actOnPlayer(L, admin::banPlayer);
}

}  // namespace gsadmin::api
