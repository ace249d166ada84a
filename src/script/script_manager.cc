#include "script/script_manager.h"

#include <cstdlib>
#include <ctime>
#include <mutex>
#include <span>
#include <string>

#include "console/printable.h"
#include "script/lua.h"
#include "script/lua_chunks.h"
#include "script/pending_call.h"
#include "script/script_chunk.h"

namespace gsadmin {
namespace {

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
  const char* fileName;  // null: set the state up and load nothing
  SessionContext* session;
  Script* script;
  bool loaded = false;  // the file loaded; a later error is the main chunk's
};

// Runs inside the protected call: [LoadRequest*] -> sets the state up,
// loads the file (text only) and runs its main chunk.
int openAndRun(lua_State* L) {
  auto* request = static_cast<LoadRequest*>(lua_touserdata(L, 1));
  lua_settop(L, 0);
  bindState(L, request->session, request->script);
  openSandbox(L);
  lua_pushcfunction(L, callPending);
  request->script->trampolineRef = luaL_ref(L, LUA_REGISTRYINDEX);
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
bool openScript(Script& script, const ScriptLimits& limits, const char* fileName,
                SessionContext* session, Console& console, LuaLimiter** running) {
  script.limiter = std::make_unique<LuaLimiter>(limits);
  *running = script.limiter.get();
  script.nameRefs.clear();  // slots of the state before
  script.state.reset(script.limiter->newState());
  lua_State* L = script.state.get();
  std::string shownName(untilNul(script.name));
  if (L == nullptr) {
    if (fileName != nullptr) console.line("LUA: Unable to load script '" + shownName + "'");
    script.lastError = "not enough memory";
    console.errorLine(script.errorPrefix + script.lastError);
    return false;
  }
  LoadRequest request{fileName, session, &script};
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
    script->name = "console";
    script->id = nextId_++;
    script->manager = this;
    bool opened = openScript(*script, limits_, nullptr, session_, console_, &running_);
    running_ = nullptr;
    if (!opened) return nullptr;
    consoleScript_ = std::move(script);
  }
  return consoleScript_.get();
}

bool ScriptManager::runChunk(std::string_view code, std::vector<std::string>* results,
                             std::string* error, Script* script) {
  if (script == nullptr) script = firstLoaded();
  if (script == nullptr) script = consoleScript();
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
  return load({fileName, fileName});
}

void ScriptManager::loadAll(const std::vector<std::string>& paths, bool directories) {
  std::vector<ScriptSource> sources;
  for (const std::string& path : paths) {
    if (!directories) {
      sources.push_back({path, path});
    } else if (!expand(path, &sources)) {
      console_.line("LUA: Unable to load script '" + path + "'");
    }
  }
  // Every script is known before the first loads, so that the error lines
  // of each carry their names from the start. A name is given once: later
  // sources of the same name are refused rather than loaded in its place.
  std::vector<bool> repeated(sources.size(), false);
  for (size_t i = 0; i < sources.size(); ++i) {
    for (size_t j = 0; j < i && !repeated[i]; ++j) repeated[i] = sources[j].name == sources[i].name;
    if (Script* known = find(sources[i].name)) {
      repeated[i] = repeated[i] || known->loaded();
      continue;
    }
    if (scripts_.size() >= kMaxScripts) continue;
    scripts_.push_back(std::make_unique<Script>());
    scripts_.back()->name = sources[i].name;
    scripts_.back()->path = sources[i].path;
  }
  refreshPrefixes();
  for (size_t i = 0; i < sources.size(); ++i) {
    if (!repeated[i]) {
      load(sources[i]);
      continue;
    }
    std::string name(untilNul(sources[i].name));
    console_.line("LUA: Unable to load script '" + name + "'");
    console_.errorLine(name + ": another script has this name");
  }
}

Script* ScriptManager::load(const ScriptSource& source, bool quiet) {
  Script* script = find(source.name);
  if (script != nullptr && script->loaded()) return nullptr;
  if (script == nullptr) {
    if (scripts_.size() >= kMaxScripts) {
      console_.line("LUA: Unable to load script '" + std::string(untilNul(source.name)) + "'");
      return nullptr;
    }
    scripts_.push_back(std::make_unique<Script>());
    script = scripts_.back().get();
    script->name = source.name;
  }
  script->path = source.path;
  refreshPrefixes();
  return open(*script, quiet);
}

Script* ScriptManager::reload(Script& script, bool quiet) {
  if (script.loaded()) stop(script);
  return open(script, quiet);
}

Script* ScriptManager::open(Script& script, bool quiet) {
  seedRandomOnce();
  script.status = ScriptStatus::kStopped;
  script.id = nextId_++;
  script.lastError.clear();
  script.manager = this;
  // Read before the main chunk runs, which may ask for them.
  script.settings = loadScriptSettings(script.path, console_);
  // The script counts as loaded only once its main chunk has run, so events
  // do not reach it before; until then running_ names it.
  bool opened = openScript(script, limits_, script.path.c_str(), session_, console_, &running_);
  running_ = nullptr;
  if (!opened) {
    script.status = ScriptStatus::kFailed;
    return nullptr;
  }
  script.status = ScriptStatus::kLoaded;
  if (!quiet) console_.line("LUA: Script '" + std::string(untilNul(script.name)) + "' loaded.");
  if (consoleScript_) {
    running_ = consoleScript_->limiter.get();
    closeScript(*consoleScript_, console_);
    consoleScript_.reset();
    running_ = nullptr;
  }
  return &script;
}

void ScriptManager::stop(Script& script) {
  running_ = script.limiter ? script.limiter.get() : nullptr;
  closeScript(script, console_);
  running_ = nullptr;
  script.status = ScriptStatus::kStopped;
}

void ScriptManager::refreshPrefixes() {
  bool several = scripts_.size() >= 2;
  for (auto& script : scripts_) {
    script->errorPrefix = several ? std::string(untilNul(script->name)) + ": " : std::string();
  }
}

Script* ScriptManager::find(std::string_view name) {
  for (auto& script : scripts_) {
    if (script->name == name) return script.get();
  }
  // "stats" for the script named "stats.lua", as the file loaded from a
  // directory is named.
  for (auto& script : scripts_) {
    std::string_view other = script->name;
    if (other.size() == name.size() + 4 && other.starts_with(name) && other.ends_with(".lua")) {
      return script.get();
    }
  }
  return nullptr;
}

LuaLimiter* ScriptManager::enterScript(Script& script) {
  LuaLimiter* previous = running_;
  running_ = script.limiter.get();
  return previous;
}

Script* ScriptManager::findById(uint64_t id) {
  for (auto& script : scripts_) {
    if (id != 0 && script->id == id) return script.get();
  }
  return nullptr;
}

Script* ScriptManager::firstLoaded() {
  for (auto& script : scripts_) {
    if (script->loaded()) return script.get();
  }
  return nullptr;
}

size_t ScriptManager::loadedCount() const {
  size_t count = 0;
  for (const auto& script : scripts_) count += script->loaded() ? 1 : 0;
  return count;
}

void ScriptManager::unloadScripts() {
  for (auto& script : scripts_) {
    if (script->state) stop(*script);
  }
  if (consoleScript_) {
    running_ = consoleScript_->limiter.get();
    closeScript(*consoleScript_, console_);
    consoleScript_.reset();
  }
  running_ = nullptr;
}

const char* ScriptManager::stopReason() {
  if (running_ != nullptr) return running_->stopReason();
  for (auto& script : scripts_) {
    if (!script->loaded()) continue;
    if (const char* reason = script->limiter->stopReason()) return reason;
  }
  return nullptr;
}

void ScriptManager::tolerateStopRequested() {
  for (auto& script : scripts_) {
    if (script->limiter) script->limiter->tolerateStopsSoFar();
  }
  if (consoleScript_) consoleScript_->limiter->tolerateStopsSoFar();
}

}  // namespace gsadmin
