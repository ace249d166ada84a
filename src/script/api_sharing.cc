// getSetting and require: what a script reads from the files beside it.

#include <string>
#include <string_view>

#include "console/printable.h"
#include "script/api_args.h"
#include "script/api_functions.h"
#include "script/lua.h"
#include "script/lua_chunks.h"
#include "script/script_state.h"

namespace gsadmin::api {
namespace {

constexpr size_t kMaxModuleNameBytes = 128;
// Registry key of the state's table of loaded modules: name -> result.
const char kModulesKey = 0;
// What that table holds for a module whose chunk is running.
const char kLoadingMark = 0;

bool isModuleCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '.';
}

// Letters, digits, '_' and '.', a '.' standing for a '/': so no "..", no
// absolute path and nothing outside lib/.
bool isModuleName(std::string_view name) {
  if (name.empty() || name.size() > kMaxModuleNameBytes) return false;
  if (name.front() == '.' || name.back() == '.' || name.find("..") != std::string_view::npos) {
    return false;
  }
  for (char c : name) {
    if (!isModuleCharacter(c)) return false;
  }
  return true;
}

// Prints "<function>: <what> '<name>'." (a checked module name: plain
// characters) and returns 0.
int refuseModule(const ApiCall& call, const char* what, std::string_view name) {
  const char* function = call.functionName();  // before any C++ string exists
  call.console().line(std::string(function) + ": " + what + " '" + std::string(name) + "'.");
  return 0;
}

// The Lua message on top of the stack goes to standard error; it is popped.
void reportMessage(const ApiCall& call) {
  call.console().errorLine(printable(errorMessage(call.state())));
  lua_pop(call.state(), 1);
}

// [...] -> [..., modules], the table made on first use.
void pushModules(lua_State* L) {
  lua_pushlightuserdata(L, const_cast<char*>(&kModulesKey));
  lua_rawget(L, LUA_REGISTRYINDEX);
  if (lua_istable(L, -1)) return;
  lua_pop(L, 1);
  lua_newtable(L);
  lua_pushlightuserdata(L, const_cast<char*>(&kModulesKey));
  lua_pushvalue(L, -2);
  lua_rawset(L, LUA_REGISTRYINDEX);
}

// [name, ...] -> [name, ..., path]: DIR/lib/NAME.lua, DIR being the
// script's directory and each '.' of NAME a '/'. Built in Lua, so that no
// C++ string is alive if it runs out of memory. Returns the length of
// DIR/lib/, the part the admin chose: links are followed only there.
size_t pushModulePath(lua_State* L, std::string_view scriptPath) {
  size_t slash = scriptPath.rfind('/');
  std::string_view directory =
      slash == std::string_view::npos ? "" : scriptPath.substr(0, slash + 1);
  lua_pushlstring(L, directory.data(), directory.size());
  lua_pushliteral(L, "lib/");
  luaL_gsub(L, lua_tostring(L, 1), ".", "/");
  lua_pushliteral(L, ".lua");
  lua_concat(L, 4);
  return directory.size() + std::string_view("lib/").size();
}

// [name, modules] -> [name, modules]: modules[name] = the value on top,
// which is popped.
void setModule(lua_State* L) {
  lua_pushvalue(L, 1);
  lua_insert(L, -2);
  lua_rawset(L, 2);
}

}  // namespace

int getSetting(lua_State* L) {
  ApiCall call(L);
  if (!call.isString(1)) return call.refuse("Invalid argument #1.");
  std::string_view key = call.textView(1);
  Script* script = scriptOf(L);
  const SettingValue* value = script ? script->settings.find(key) : nullptr;
  if (value == nullptr) {
    if (call.argumentCount() < 2) return call.pushNil();
    lua_pushvalue(L, 2);  // the default, whatever it is
    return 1;
  }
  if (value->isNumber) return call.pushNumber(value->number);
  return call.pushText(value->text);
}

int require(lua_State* L) {
  ApiCall call(L);
  if (lua_type(L, 1) != LUA_TSTRING || !isModuleName(call.textView(1))) {
    return call.refuse("Invalid argument #1.");
  }
  lua_settop(L, 1);  // [name]
  std::string_view name = call.textView(1);
  Script* script = scriptOf(L);
  if (script == nullptr) return refuseModule(call, "No such module", name);
  pushModules(L);  // [name, modules]
  lua_pushvalue(L, 1);
  lua_rawget(L, 2);  // [name, modules, cached]
  if (lua_touserdata(L, 3) == &kLoadingMark) return refuseModule(call, "Loop loading module", name);
  if (!lua_isnil(L, 3)) return 1;
  lua_pop(L, 1);
  size_t chosen = pushModulePath(L, script->path);  // [name, modules, path]
  int status = loadTextFileBelow(L, lua_tostring(L, 3), chosen);
  if (status != 0) {  // [name, modules, path, message]
    reportMessage(call);
    return refuseModule(call, status == LUA_ERRFILE ? "No such module" : "Error loading module",
                        name);
  }
  // [name, modules, path, chunk]
  lua_pushlightuserdata(L, const_cast<char*>(&kLoadingMark));
  setModule(L);
  lua_pushvalue(L, 1);
  status = lua_pcall(L, 1, 1, 0);  // [name, modules, path, result or message]
  if (status != 0) {
    reportMessage(call);
    lua_pushnil(L);
    setModule(L);  // a later require tries again
    return refuseModule(call, "Error loading module", name);
  }
  if (lua_isnil(L, 4)) {
    lua_pop(L, 1);
    lua_pushboolean(L, 1);
  }
  lua_pushvalue(L, 4);
  setModule(L);
  return 1;  // [name, modules, path, result]
}

}  // namespace gsadmin::api
