#include "script/script_manager.h"

#include <cstdlib>
#include <ctime>
#include <mutex>
#include <span>
#include <string>

#include "console/printable.h"
#include "script/lua.h"
#include "script/lua_chunks.h"
#include "script/script_chunk.h"

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
// argument) happens here, so a full heap is only a failed call; a failing
// __index on the globals table is one too.
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
  Script* script;
  const char* fileName;  // null: set the state up and load nothing
  bool loaded = false;   // the file loaded; a later error is the main chunk's
};

// Runs inside the protected call: [LoadRequest*] -> sets the state up,
// loads the file (text only) and runs its main chunk.
int openAndRun(lua_State* L) {
  auto* request = static_cast<LoadRequest*>(lua_touserdata(L, 1));
  lua_settop(L, 0);
  openSandbox(L);
  setScriptOf(L, request->script);
  lua_pushlightuserdata(L, const_cast<char*>(&kTrampolineKey));
  lua_pushcfunction(L, callPending);
  lua_rawset(L, LUA_REGISTRYINDEX);
  if (request->fileName == nullptr) return 0;

  if (loadTextFile(L, request->fileName) != 0) lua_error(L);
  request->loaded = true;
  lua_call(L, 0, 0);  // the chunk's results are never read
  return 0;
}

// A fresh state for `script` under `limits`, set up and, with a file name,
// its main chunk run. False, after the lines of the failure, when it could
// not be made or the chunk failed; the state is then closed. *running names
// the script's limiter from the moment it exists.
bool openScript(Script& script, const ScriptLimits& limits, const char* fileName, Console& console,
                LuaLimiter** running) {
  script.limiter = std::make_unique<LuaLimiter>(limits);
  *running = script.limiter.get();
  script.state.reset(script.limiter->newState());
  lua_State* L = script.state.get();
  std::string shownName(untilNul(script.fileName));
  if (L == nullptr) {
    if (fileName != nullptr) console.line("LUA: Unable to load script '" + shownName + "'");
    console.errorLine("not enough memory");
    return false;
  }
  LoadRequest request{&script, fileName};
  script.limiter->beginCall();
  int status = lua_cpcall(L, openAndRun, &request);
  script.limiter->endCall();
  if (status != 0) {
    if (fileName != nullptr && !request.loaded) {
      console.line("LUA: Unable to load script '" + shownName + "'");
    }
    reportFailure(script, status, console);
    closeScript(script, console);
    return false;
  }
  lua_settop(L, 0);
  if (script.limiter->finalisersQueued()) runQueuedFinalisers(script, console);
  return true;
}

}  // namespace

ScriptManager::~ScriptManager() {
  unloadScripts();
}

Script* ScriptManager::consoleScript() {
  if (!consoleScript_) {
    auto script = std::make_unique<Script>();
    script->fileName = "console";
    script->manager = this;
    bool opened = openScript(*script, limits_, nullptr, console_, &running_);
    running_ = nullptr;
    if (!opened) return nullptr;
    consoleScript_ = std::move(script);
  }
  return consoleScript_.get();
}

bool ScriptManager::runChunk(std::string_view code, std::vector<std::string>* results,
                             std::string* error) {
  Script* script = scripts_.empty() ? consoleScript() : scripts_.front().get();
  if (script == nullptr) {
    *error = "not enough memory";
    return false;
  }
  lua_State* L = script->state.get();
  ChunkRequest request{code, results, {}};
  running_ = script->limiter.get();
  script->limiter->beginCall();
  int status = lua_cpcall(L, runConsoleChunk, &request);
  script->limiter->endCall();
  if (status != 0) {
    *error = errorMessage(L);
    lua_settop(L, 0);
    if (status == LUA_ERRMEM) script->limiter->collectGarbage(L);
  }
  lua_settop(L, 0);
  if (script->limiter->finalisersQueued()) runQueuedFinalisers(*script, console_);
  running_ = nullptr;
  return status == 0;
}

Script* ScriptManager::loadScripts(const std::string& fileName) {
  seedRandomOnce();
  auto script = std::make_unique<Script>();
  script->fileName = fileName;
  script->manager = this;
  // Read before the main chunk runs, which may ask for them.
  script->settings = loadScriptSettings(fileName, console_);
  // The API functions of the main chunk look at the list, so the script
  // joins it only once the chunk has run; until then running_ names it.
  bool opened = openScript(*script, limits_, fileName.c_str(), console_, &running_);
  running_ = nullptr;
  if (!opened) return nullptr;
  console_.line("LUA: Script '" + std::string(untilNul(script->fileName)) + "' loaded.");
  if (consoleScript_) {
    running_ = consoleScript_->limiter.get();
    closeScript(*consoleScript_, console_);
    consoleScript_.reset();
    running_ = nullptr;
  }
  scripts_.push_back(std::move(script));
  return scripts_.back().get();
}

void ScriptManager::unloadScripts() {
  for (auto& script : scripts_) {
    running_ = script->limiter.get();
    closeScript(*script, console_);
  }
  if (consoleScript_) {
    running_ = consoleScript_->limiter.get();
    closeScript(*consoleScript_, console_);
    consoleScript_.reset();
  }
  running_ = nullptr;
  scripts_.clear();
}

Script* ScriptManager::find(std::string_view name) const {
  constexpr std::string_view kSuffix = ".lua";
  for (const auto& script : scripts_) {
    std::string_view fileName = script->fileName;
    fileName.remove_prefix(fileName.rfind('/') + 1);  // npos + 1 is 0
    if (fileName.ends_with(kSuffix)) fileName.remove_suffix(kSuffix.size());
    // A closed state (while the scripts are unloaded) cannot be called.
    if (fileName == name && script->state) return script.get();
  }
  return nullptr;
}

LuaLimiter* ScriptManager::enterScript(Script& script) {
  LuaLimiter* previous = running_;
  running_ = script.limiter.get();
  return previous;
}

const char* ScriptManager::stopReason() {
  if (running_ != nullptr) return running_->stopReason();
  for (auto& script : scripts_) {
    if (const char* reason = script->limiter->stopReason()) return reason;
  }
  return nullptr;
}

void ScriptManager::tolerateStopRequested() {
  for (auto& script : scripts_) script->limiter->tolerateStopsSoFar();
  if (consoleScript_) consoleScript_->limiter->tolerateStopsSoFar();
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
    running_ = script->limiter.get();
    script->limiter->beginCall();
    int status = lua_pcall(L, 1, 0, 0);
    script->limiter->endCall();
    if (status != 0) {
      console_.line("LUA: Error in function '" + std::string(untilNul(name)) + "'");
      reportFailure(*script, status, console_);
    }
    if (script->limiter->finalisersQueued()) runQueuedFinalisers(*script, console_);
    running_ = nullptr;
  }
  pendingCount_ = 0;
}

}  // namespace gsadmin
