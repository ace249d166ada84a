#ifndef GSADMIN_SCRIPT_SCRIPT_STATE_H_
#define GSADMIN_SCRIPT_SCRIPT_STATE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "console/console.h"
#include "script/lua_limits.h"
#include "script/script_settings.h"

struct lua_State;

namespace gsadmin {

class ScriptManager;
class SessionContext;

// Closes a Lua state when its owner lets go of it.
struct LuaStateCloser {
  void operator()(lua_State* state) const;
};
using LuaStatePtr = std::unique_ptr<lua_State, LuaStateCloser>;

enum class ScriptStatus {
  kLoaded,   // its state is open and its handlers are called
  kFailed,   // the file did not load or its main chunk failed
  kStopped,  // unloaded by the operator, or being (re)loaded
};

// One script (a loaded file, or the operator's console state) with its own
// Lua state, handlers, timers and limits.
struct Script {
  // Declared before the state, so it outlives it.
  std::unique_ptr<LuaLimiter> limiter;
  LuaStatePtr state;  // null unless loaded (or loading)
  // The name lines give it: the path as given, or the file's name inside
  // a directory. Unique among a manager's scripts.
  std::string name;
  // The file, relative to the working directory or absolute.
  std::string path;
  // Tags the handlers, timers and console commands it registered; never 0,
  // never reused by one manager, new for every load.
  uint64_t id = 0;
  ScriptStatus status = ScriptStatus::kStopped;
  // The last error's message (printable), empty when none.
  std::string lastError;
  // "NAME: " when the manager knows several scripts, put before each
  // error's detail line on standard error; empty otherwise.
  std::string errorPrefix;
  // Read from the file beside the script when it loads (getSetting).
  ScriptSettings settings;
  // The manager that holds the script, for the API functions that reach
  // other scripts; null for a state no manager holds.
  ScriptManager* manager = nullptr;
  // The registry slot of the state's one call trampoline (0 until set up).
  // Made once, as pushing a C function allocates a closure in Lua 5.1; an
  // integer key, so that each handler call finds it without hashing.
  int trampolineRef = 0;
  // The registry slots of the names of the functions its handlers called,
  // for the same reason; the first kMaxNameRefs names only.
  static constexpr size_t kMaxNameRefs = 16;
  std::vector<std::pair<std::string, int>> nameRefs;

  bool loaded() const { return status == ScriptStatus::kLoaded && state != nullptr; }
};

// [] -> [] binds `L` to the session its API functions act on (null: none)
// and to the script it belongs to (null: none). Raises when out of memory
// the first time: call it inside a protected call; rebinding a bound state
// does not allocate.
void bindState(lua_State* L, SessionContext* session, Script* script);

// What bindState bound `L` to; null when it was not bound. Neither
// allocates nor raises, and each needs one free stack slot.
SessionContext* sessionOf(lua_State* L);
Script* scriptOf(lua_State* L);

// Runs inside the protected setup of a fresh state: [] -> [] opens the
// base, table, string and math libraries and the clock functions of os,
// makes chunk loading text only (no string.dump), guards finalisers (see
// lua_finalisers.h) and publishes the API.
void openSandbox(lua_State* L);

// The error value on top of `L`'s stack as text, without converting it in
// place (which would allocate outside a protected call).
std::string errorMessage(lua_State* L);

// Reports a failed protected call's message on standard error and drops
// the stack. After running out of memory the garbage is collected at once,
// so the memory comes back before the next event rather than at the next
// cycle.
void reportFailure(Script& script, int status, Console& console);

// Runs the finalisers queued in the script's state, as ordinary protected
// calls under one time budget, until the queue is empty, one is stopped or
// a bounded number ran (the rest wait for the next time). A failing one
// prints "LUA: Error in function '__gc'" and its message on standard error.
void runQueuedFinalisers(Script& script, Console& console);

// Runs what finalisers the script still has (queued ones, then those of
// every live proxy, as lua_close would), in a bounded number of rounds
// under one time budget, then closes the state: no script code runs in
// lua_close, so closing never hangs.
void closeScript(Script& script, Console& console);

}  // namespace gsadmin

#endif  // GSADMIN_SCRIPT_SCRIPT_STATE_H_
