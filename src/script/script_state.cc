#include "script/script_state.h"

#include <cstdio>

#include "console/printable.h"
#include "script/api.h"
#include "script/lua.h"
#include "script/lua_chunks.h"
#include "script/lua_finalisers.h"

namespace gsadmin {
namespace {

// Finalisers run after one call at most; more wait for the next call.
constexpr int kMaxFinalisersPerRun = 10000;
// Rounds of finalisers when a state closes: finalisers may make proxies
// with finalisers of their own, and those get this many more chances.
constexpr int kCloseRounds = 4;

// The os library's clock functions, and nothing that reaches files,
// programs or the environment.
constexpr const char* kOsFunctionsKept[] = {"time", "date", "clock", "difftime"};

// [] -> [] replaces the global os with a table of the functions kept.
void openOsClock(lua_State* L) {
  lua_pushcfunction(L, luaopen_os);
  lua_call(L, 0, 1);  // the full library, also left in the global os
  lua_createtable(L, 0, 4);
  for (const char* name : kOsFunctionsKept) {
    lua_getfield(L, -2, name);
    lua_setfield(L, -2, name);
  }
  lua_pushvalue(L, -1);
  lua_setfield(L, LUA_GLOBALSINDEX, "os");
  // The registry's copy of the full library goes too, so that nothing can
  // reach it later.
  lua_getfield(L, LUA_REGISTRYINDEX, "_LOADED");
  if (lua_istable(L, -1)) {
    lua_pushvalue(L, -2);
    lua_setfield(L, -2, "os");
  }
  lua_pop(L, 3);
}

// Runs the queue until it is empty, a call is stopped or the bound is
// reached; the caller holds the budget.
void drainQueue(Script& script, Console& console) {
  lua_State* L = script.state.get();
  for (int i = 0; i < kMaxFinalisersPerRun && script.limiter->finalisersQueued(); ++i) {
    int status = lua_cpcall(L, runQueuedFinaliser, nullptr);
    if (status != 0) {
      console.line("LUA: Error in function '__gc'");
      reportFailure(script, status, console);
    }
    if (script.limiter->stopped()) return;
  }
}

}  // namespace

namespace {

// Registry keys: their addresses are unique light userdata.
const char kSessionKey = 0;
const char kScriptKey = 0;

// [] -> [] registry[key] = pointer.
void setPointer(lua_State* L, const char* key, void* pointer) {
  lua_pushlightuserdata(L, const_cast<char*>(key));  // [key]
  lua_pushlightuserdata(L, pointer);                 // [key pointer]
  lua_rawset(L, LUA_REGISTRYINDEX);                  // []
}

// [] -> [] registry[key], as a pointer.
void* getPointer(lua_State* L, const char* key) {
  lua_pushlightuserdata(L, const_cast<char*>(key));  // [key]
  lua_rawget(L, LUA_REGISTRYINDEX);                  // [pointer]
  void* pointer = lua_touserdata(L, -1);
  lua_pop(L, 1);  // []
  return pointer;
}

}  // namespace

void bindState(lua_State* L, SessionContext* session, Script* script) {
  setPointer(L, &kSessionKey, session);
  setPointer(L, &kScriptKey, script);
}

SessionContext* sessionOf(lua_State* L) {
  return static_cast<SessionContext*>(getPointer(L, &kSessionKey));
}

Script* scriptOf(lua_State* L) {
  return static_cast<Script*>(getPointer(L, &kScriptKey));
}

void LuaStateCloser::operator()(lua_State* state) const {
  if (state != nullptr) lua_close(state);
}

void openSandbox(lua_State* L) {
  for (lua_CFunction open : {luaopen_base, luaopen_table, luaopen_string, luaopen_math}) {
    lua_pushcfunction(L, open);
    lua_call(L, 0, 0);
  }
  openOsClock(L);
  openTextOnlyLoading(L);
  openFinalisers(L);
  registerApi(L);
}

std::string errorMessage(lua_State* L) {
  size_t length = 0;
  if (lua_type(L, -1) == LUA_TSTRING) {
    const char* text = lua_tolstring(L, -1, &length);
    return std::string(text, length);
  }
  if (lua_type(L, -1) == LUA_TNUMBER) {
    char number[64];
    std::snprintf(number, sizeof number, "%.14g", lua_tonumber(L, -1));
    return number;
  }
  return std::string("(error object is a ") + lua_typename(L, lua_type(L, -1)) + " value)";
}

void reportFailure(Script& script, int status, Console& console) {
  lua_State* L = script.state.get();
  script.lastError = printable(errorMessage(L));
  console.errorLine(script.errorPrefix + script.lastError);
  lua_settop(L, 0);
  if (status == LUA_ERRMEM) script.limiter->collectGarbage(L);
}

void runQueuedFinalisers(Script& script, Console& console) {
  script.limiter->beginCall();
  drainQueue(script, console);
  script.limiter->endCall();
}

void closeScript(Script& script, Console& console) {
  lua_State* L = script.state.get();
  if (L == nullptr) return;
  LuaLimiter& limiter = *script.limiter;
  limiter.beginCall();
  for (int round = 0; round < kCloseRounds && !limiter.stopped(); ++round) {
    drainQueue(script, console);
    if (limiter.stopped()) break;
    int status = lua_cpcall(L, queueEveryFinaliser, nullptr);
    if (status != 0) {
      reportFailure(script, status, console);
      break;
    }
    if (!limiter.finalisersQueued()) break;
  }
  limiter.endCall();
  script.state.reset();
}

}  // namespace gsadmin
