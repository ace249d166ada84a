#include "script/script_manager.h"

#include <string>

#include "script/api.h"
#include "script/lua.h"

namespace gsadmin {
namespace {

// Runs inside the protected call: [name, args...] -> looks the global up and
// calls it. Looking the global up here rather than before the call means a
// failing __index on the globals table is reported like any other failure.
int callNamedGlobal(lua_State* L) {
  lua_pushvalue(L, 1);
  lua_gettable(L, LUA_GLOBALSINDEX);
  lua_replace(L, 1);
  lua_call(L, lua_gettop(L) - 1, 0);
  return 0;
}

// Registry key of each state's one callNamedGlobal closure. Pushing a C
// function allocates a new closure in Lua 5.1; made once, it is not garbage
// the collector must clear after every event.
const char kTrampolineKey = 0;

bool loadScript(Script& script, Console& console) {
  script.state.reset(luaL_newstate());
  lua_State* L = script.state.get();
  if (L == nullptr) return false;
  lua_pushcfunction(L, luaopen_base);
  lua_call(L, 0, 0);
  lua_pushcfunction(L, luaopen_table);
  lua_call(L, 0, 0);
  lua_pushcfunction(L, luaopen_string);
  lua_call(L, 0, 0);
  lua_pushcfunction(L, luaopen_math);
  lua_call(L, 0, 0);
  registerApi(L);
  lua_pushlightuserdata(L, const_cast<char*>(&kTrampolineKey));
  lua_pushcfunction(L, callNamedGlobal);
  lua_rawset(L, LUA_REGISTRYINDEX);

  if (luaL_loadfile(L, script.fileName.c_str()) != 0) {
    console.line("LUA: Unable to load script '" + std::string(untilNul(script.fileName)) + "'");
    return false;
  }
  bool ran = lua_pcall(L, 0, LUA_MULTRET, 0) == 0;
  // Neither the error value nor the chunk's results are ever read.
  lua_settop(L, 0);
  if (!ran) return false;
  console.line("LUA: Script '" + std::string(untilNul(script.fileName)) + "' loaded.");
  return true;
}

}  // namespace

void LuaStateCloser::operator()(lua_State* state) const {
  if (state != nullptr) lua_close(state);
}

Script* ScriptManager::loadScripts(const std::string& fileName) {
  auto script = std::make_unique<Script>();
  script->fileName = fileName;
  // The API functions of the main chunk look at the list, so the script
  // joins it only once the chunk has run.
  if (!loadScript(*script, console_)) return nullptr;
  scripts_.push_back(std::move(script));
  return scripts_.back().get();
}

void ScriptManager::fetchFunction(std::string_view name) {
  for (auto& script : scripts_) {
    lua_State* L = script->state.get();
    lua_pushlightuserdata(L, const_cast<char*>(&kTrampolineKey));
    lua_rawget(L, LUA_REGISTRYINDEX);
    lua_pushlstring(L, name.data(), name.size());
    script->pendingFunctionName = std::string(name);
  }
}

void ScriptManager::pushInteger(int32_t value) {
  for (auto& script : scripts_) lua_pushinteger(script->state.get(), value);
}

void ScriptManager::pushString(std::string_view text) {
  for (auto& script : scripts_) lua_pushlstring(script->state.get(), text.data(), text.size());
}

void ScriptManager::callFunction(int argumentCount) {
  for (auto& script : scripts_) {
    lua_State* L = script->state.get();
    // The name string sits between the trampoline and the arguments.
    if (lua_pcall(L, argumentCount + 1, 0, 0) != 0) {
      console_.line("LUA: Error in function '" +
                    std::string(untilNul(script->pendingFunctionName.value_or(std::string()))) +
                    "'");
      lua_pop(L, 1);
    }
    script->pendingFunctionName.reset();
  }
}

}  // namespace gsadmin
