#ifndef GSADMIN_SCRIPT_SCRIPT_STATE_H_
#define GSADMIN_SCRIPT_SCRIPT_STATE_H_

#include <memory>
#include <string>

#include "console/console.h"
#include "script/lua_limits.h"
#include "script/script_settings.h"

struct lua_State;

namespace gsadmin {

class ScriptManager;

// Closes a Lua state when its owner lets go of it.
struct LuaStateCloser {
  void operator()(lua_State* state) const;
};
using LuaStatePtr = std::unique_ptr<lua_State, LuaStateCloser>;

// One script (a loaded file, or the operator's console state) with its own
// Lua state.
struct Script {
  // Declared before the state, so it outlives it.
  std::unique_ptr<LuaLimiter> limiter;
  LuaStatePtr state;
  std::string fileName;
  // Name of the global fetched for the call under way; printed when the call
  // fails. Set by fetchFunction; kept between calls so that its storage is
  // reused rather than allocated for every event.
  std::string pendingFunctionName;
  // Read from the file beside the script when it loads (getSetting).
  ScriptSettings settings;
  // The manager that holds the script, for the API functions that reach
  // other scripts; null for a state no manager holds.
  ScriptManager* manager = nullptr;
};

// Runs inside the protected setup of a fresh state: [] -> [] records
// `script` as the Script of `L` (and of its coroutines) for scriptOf.
void setScriptOf(lua_State* L, Script* script);

// The Script whose state `L` is, or null when none was recorded. Neither
// allocates nor raises.
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
