#include "script/script_manager.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <span>
#include <string>

#include "console/printable.h"
#include "script/api.h"
#include "script/lua.h"

namespace gsadmin {
namespace {

// What the call trampoline needs, read through a light userdata so that
// nothing is allocated before the protected call starts.
struct PendingCall {
  const std::string* functionName;
  std::span<const ScriptArgument> arguments;
};

// Runs inside the protected call: [PendingCall*] -> looks the global up,
// pushes the arguments and calls it. Every allocation (the name, a text
// argument) happens here, so a finaliser that raises or a full heap is only
// a failed call; a failing __index on the globals table is one too.
int callPending(lua_State* L) {
  const auto* call = static_cast<const PendingCall*>(lua_touserdata(L, 1));
  lua_settop(L, 0);
  lua_pushlstring(L, call->functionName->data(), call->functionName->size());
  lua_gettable(L, LUA_GLOBALSINDEX);
  for (const ScriptArgument& argument : call->arguments) {
    if (argument.isText) {
      lua_pushlstring(L, argument.text.data(), argument.text.size());
    } else {
      lua_pushinteger(L, argument.integer);
    }
  }
  lua_call(L, static_cast<int>(call->arguments.size()), 0);
  return 0;
}

// Registry key of each state's one callPending closure. Pushing a C function
// allocates a new closure in Lua 5.1; made once, it is not garbage the
// collector must clear after every event.
const char kTrampolineKey = 0;

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

// math.random draws from the C library's generator, shared by every state
// of the process; it is seeded once, from the clock.
void seedRandomOnce() {
  static std::once_flag seeded;
  std::call_once(seeded, [] {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::srand(static_cast<unsigned>(ts.tv_sec) ^ static_cast<unsigned>(ts.tv_nsec));
  });
}

struct LoadRequest {
  const char* fileName;
  bool loaded = false;  // the file loaded; a later error is the main chunk's
};

// Runs inside the protected call: [LoadRequest*] -> opens the libraries,
// publishes the API, loads the file and runs its main chunk.
int openAndRun(lua_State* L) {
  auto* request = static_cast<LoadRequest*>(lua_touserdata(L, 1));
  lua_settop(L, 0);
  lua_pushcfunction(L, luaopen_base);
  lua_call(L, 0, 0);
  lua_pushcfunction(L, luaopen_table);
  lua_call(L, 0, 0);
  lua_pushcfunction(L, luaopen_string);
  lua_call(L, 0, 0);
  lua_pushcfunction(L, luaopen_math);
  lua_call(L, 0, 0);
  openOsClock(L);
  registerApi(L);
  lua_pushlightuserdata(L, const_cast<char*>(&kTrampolineKey));
  lua_pushcfunction(L, callPending);
  lua_rawset(L, LUA_REGISTRYINDEX);

  if (luaL_loadfile(L, request->fileName) != 0) lua_error(L);
  request->loaded = true;
  lua_call(L, 0, 0);  // the chunk's results are never read
  return 0;
}

// The error value on top of the stack as text, without converting it in
// place (which would allocate outside a protected call).
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

// Reports a failed protected call's message on standard error and drops it.
// After running out of memory the garbage is collected at once, so the
// memory comes back before the next event rather than at the next cycle.
void reportFailure(Script& script, int status, Console& console) {
  lua_State* L = script.state.get();
  console.errorLine(printable(errorMessage(L)));
  lua_settop(L, 0);
  if (status == LUA_ERRMEM) script.limiter->collectGarbage(L);
}

bool loadScript(Script& script, const ScriptLimits& limits, Console& console) {
  script.limiter = std::make_unique<LuaLimiter>(limits);
  script.state.reset(script.limiter->newState());
  lua_State* L = script.state.get();
  if (L == nullptr) {
    console.line("LUA: Unable to load script '" + std::string(untilNul(script.fileName)) + "'");
    console.errorLine("not enough memory");
    return false;
  }
  LoadRequest request{script.fileName.c_str()};
  script.limiter->beginCall();
  int status = lua_cpcall(L, openAndRun, &request);
  script.limiter->endCall();
  if (status == 0) {
    lua_settop(L, 0);
    console.line("LUA: Script '" + std::string(untilNul(script.fileName)) + "' loaded.");
    return true;
  }
  if (!request.loaded) {
    console.line("LUA: Unable to load script '" + std::string(untilNul(script.fileName)) + "'");
  }
  reportFailure(script, status, console);
  return false;
}

struct ChunkRequest {
  std::string_view code;
  std::vector<std::string>* results;
};

// Runs inside the protected call: [ChunkRequest*] -> compiles and runs the
// chunk, then converts each result with the script's own tostring.
int runChunkProtected(lua_State* L) {
  auto* request = static_cast<ChunkRequest*>(lua_touserdata(L, 1));
  lua_settop(L, 0);
  if (luaL_loadbuffer(L, request->code.data(), request->code.size(), "=console") != 0) {
    lua_error(L);
  }
  lua_call(L, 0, LUA_MULTRET);
  int count = lua_gettop(L);
  for (int i = 1; i <= count; ++i) {
    lua_getglobal(L, "tostring");
    lua_pushvalue(L, i);
    lua_call(L, 1, 1);
    size_t length = 0;
    const char* text = lua_tolstring(L, -1, &length);
    request->results->emplace_back(text ? std::string(text, length) : "?");
    lua_pop(L, 1);
  }
  return 0;
}

}  // namespace

bool ScriptManager::runChunk(std::string_view code, std::vector<std::string>* results,
                             std::string* error) {
  if (scripts_.empty()) {
    *error = "no script is loaded";
    return false;
  }
  Script& script = *scripts_.front();
  lua_State* L = script.state.get();
  ChunkRequest request{code, results};
  script.limiter->beginCall();
  int status = lua_cpcall(L, runChunkProtected, &request);
  script.limiter->endCall();
  if (status == 0) {
    lua_settop(L, 0);
    return true;
  }
  *error = errorMessage(L);
  lua_settop(L, 0);
  if (status == LUA_ERRMEM) script.limiter->collectGarbage(L);
  return false;
}

void LuaStateCloser::operator()(lua_State* state) const {
  if (state != nullptr) lua_close(state);
}

Script* ScriptManager::loadScripts(const std::string& fileName) {
  seedRandomOnce();
  auto script = std::make_unique<Script>();
  script->fileName = fileName;
  // The API functions of the main chunk look at the list, so the script
  // joins it only once the chunk has run.
  if (!loadScript(*script, limits_, console_)) return nullptr;
  scripts_.push_back(std::move(script));
  return scripts_.back().get();
}

const char* ScriptManager::stopReason() {
  for (auto& script : scripts_) {
    if (const char* reason = script->limiter->stopReason()) return reason;
  }
  return nullptr;
}

void ScriptManager::tolerateStopRequested() {
  for (auto& script : scripts_) script->limiter->tolerateStopsSoFar();
}

void ScriptManager::fetchFunction(std::string_view name) {
  for (auto& script : scripts_) script->pendingFunctionName.assign(name.data(), name.size());
  pendingCount_ = 0;
}

ScriptArgument& ScriptManager::nextArgument() {
  // The slots are reused from event to event, texts keeping their storage.
  if (pendingCount_ == pendingArguments_.size()) pendingArguments_.emplace_back();
  return pendingArguments_[pendingCount_++];
}

void ScriptManager::pushInteger(int32_t value) {
  ScriptArgument& argument = nextArgument();
  argument.isText = false;
  argument.integer = value;
}

void ScriptManager::pushString(std::string_view text) {
  ScriptArgument& argument = nextArgument();
  argument.isText = true;
  argument.text.assign(text.data(), text.size());
}

void ScriptManager::callFunction(int argumentCount) {
  std::span<const ScriptArgument> arguments(pendingArguments_.data(), pendingCount_);
  if (argumentCount >= 0 && static_cast<size_t>(argumentCount) < arguments.size()) {
    arguments = arguments.first(static_cast<size_t>(argumentCount));
  }
  for (auto& script : scripts_) {
    lua_State* L = script->state.get();
    const std::string& name = script->pendingFunctionName;
    PendingCall call{&name, arguments};
    // Neither push allocates: the trampoline is found, not made.
    lua_pushlightuserdata(L, const_cast<char*>(&kTrampolineKey));
    lua_rawget(L, LUA_REGISTRYINDEX);
    lua_pushlightuserdata(L, &call);
    script->limiter->beginCall();
    int status = lua_pcall(L, 1, 0, 0);
    script->limiter->endCall();
    if (status != 0) {
      console_.line("LUA: Error in function '" + std::string(untilNul(name)) + "'");
      reportFailure(*script, status, console_);
    }
  }
  pendingCount_ = 0;
}

}  // namespace gsadmin
