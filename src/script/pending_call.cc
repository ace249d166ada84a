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

// [] -> [function] when the global named in registry slot `nameRef` is a
// function, found without a metamethod; neither allocates nor raises.
// False, with nothing pushed, otherwise.
bool pushGlobalFunction(lua_State* L, int nameRef) {
  lua_rawgeti(L, LUA_REGISTRYINDEX, nameRef);
  lua_rawget(L, LUA_GLOBALSINDEX);
  if (lua_isfunction(L, -1)) return true;
  lua_pop(L, 1);
  return false;
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
  if (call.nameRef == 0 || call.arguments.size() > kMostDirectArguments) return 0;
  for (const ScriptArgument& argument : call.arguments) {
    if (argument.isText || argument.isFields) return 0;
  }
  if (!pushGlobalFunction(L, call.nameRef)) return 0;
  for (const ScriptArgument& argument : call.arguments) lua_pushinteger(L, argument.integer);
  return 1 + static_cast<int>(call.arguments.size());
}

std::string registeredName(lua_State* L, int nameRef) {
  lua_rawgeti(L, LUA_REGISTRYINDEX, nameRef);
  size_t length = 0;
  // A string stays one: lua_tolstring converts nothing here.
  const char* text = lua_type(L, -1) == LUA_TSTRING ? lua_tolstring(L, -1, &length) : nullptr;
  std::string name = text != nullptr ? std::string(text, length) : std::string();
  lua_pop(L, 1);
  return name;
}

}  // namespace gsadmin
