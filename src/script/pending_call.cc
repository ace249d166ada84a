#include "script/pending_call.h"

#include "script/lua.h"

namespace gsadmin {
namespace {

// [] -> [name]: the function's name as a Lua string, from its registry slot
// when it has one (no hashing), else made, and given a slot when asked.
void pushFunctionName(lua_State* L, const PendingCall& call) {
  if (call.nameRef != 0) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, call.nameRef);
    return;
  }
  lua_pushlstring(L, call.functionName->data(), call.functionName->size());
  if (call.rememberName) {
    lua_pushvalue(L, -1);
    *call.newNameRef = luaL_ref(L, LUA_REGISTRYINDEX);
  }
}

}  // namespace

int callPending(lua_State* L) {
  const auto* call = static_cast<const PendingCall*>(lua_touserdata(L, 1));
  lua_settop(L, 0);
  pushFunctionName(L, *call);
  lua_gettable(L, LUA_GLOBALSINDEX);
  for (const ScriptArgument& argument : call->arguments) {
    if (argument.isFields) {
      // [..., table]: each field set with the table on top.
      lua_createtable(L, 0, static_cast<int>(argument.fields.size()));
      for (const auto& [name, value] : argument.fields) {
        lua_pushlstring(L, name.data(), name.size());
        lua_pushlstring(L, value.data(), value.size());
        lua_rawset(L, -3);
      }
    } else if (argument.isText) {
      lua_pushlstring(L, argument.text.data(), argument.text.size());
    } else {
      lua_pushinteger(L, argument.integer);
    }
  }
  lua_call(L, static_cast<int>(call->arguments.size()), 0);
  return 0;
}

int pushDirectCall(lua_State* L, const PendingCall& call) {
  // Well within the LUA_MINSTACK slots the host may always use unchecked.
  constexpr size_t kMostArguments = 8;
  if (call.nameRef == 0 || call.arguments.size() > kMostArguments) return 0;
  for (const ScriptArgument& argument : call.arguments) {
    if (argument.isText || argument.isFields) return 0;
  }
  lua_rawgeti(L, LUA_REGISTRYINDEX, call.nameRef);
  lua_rawget(L, LUA_GLOBALSINDEX);
  if (!lua_isfunction(L, -1)) {
    lua_pop(L, 1);
    return 0;
  }
  for (const ScriptArgument& argument : call.arguments) lua_pushinteger(L, argument.integer);
  return 1 + static_cast<int>(call.arguments.size());
}

}  // namespace gsadmin
