#ifndef GSADMIN_SCRIPT_SCRIPT_MANAGER_H_
#define GSADMIN_SCRIPT_SCRIPT_MANAGER_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/console.h"
#include "script/lua_limits.h"

struct lua_State;

namespace gsadmin {

// Closes a Lua state when its owner lets go of it.
struct LuaStateCloser {
  void operator()(lua_State* state) const;
};
using LuaStatePtr = std::unique_ptr<lua_State, LuaStateCloser>;

// One loaded script file with its own Lua state.
struct Script {
  // Declared before the state, so it outlives it.
  std::unique_ptr<LuaLimiter> limiter;
  LuaStatePtr state;
  std::string fileName;
  // Name of the global fetched for the call under way; printed when the call
  // fails. Set by fetchFunction; kept between calls so that its storage is
  // reused rather than allocated for every event.
  std::string pendingFunctionName;
};

// An argument of a pending call, held by value until the call is made.
struct ScriptArgument {
  bool isText = false;
  int32_t integer = 0;
  std::string text;
};

// The loaded scripts, in load order. Owns them and their states for its own
// lifetime. Every primitive acts on each script in turn. The client loads
// one file, so in practice the list holds that script or nothing.
class ScriptManager {
 public:
  static constexpr const char* kScriptFileName = "script.lua";

  // Lines ("LUA: ...") go to `console`, which must outlive the manager.
  explicit ScriptManager(Console& console) : console_(console) {}
  ScriptManager(const ScriptManager&) = delete;
  ScriptManager& operator=(const ScriptManager&) = delete;

  // The limits of every script loaded from now on; scripts already loaded
  // keep theirs.
  void setLimits(const ScriptLimits& limits) { limits_ = limits; }

  // Loads `fileName` (relative to the working directory) into a fresh state
  // with the base, table, string and math libraries, the clock functions of
  // os (time, date, clock, difftime) and the API, and runs its
  // main chunk, all inside one protected call under the limits. Prints "LUA:
  // Unable to load script ..." when the file cannot be loaded, nothing on
  // standard output when the main chunk fails, and "LUA: Script ... loaded."
  // on success; a failure's Lua message goes to standard error. Returns the
  // loaded script (owned by this manager), or null; a failed script's state
  // is closed at once.
  Script* loadScripts(const std::string& fileName = kScriptFileName);

  // Starts a call of the global named `name`: records it as every script's
  // pending function name and forgets earlier arguments. Nothing touches a
  // Lua state until callFunction, so the caller's text may go away at once.
  void fetchFunction(std::string_view name);

  // Adds one argument of the pending call; a text is copied.
  void pushInteger(int32_t value);
  void pushString(std::string_view text);

  // In every script, inside one protected call under the script's limits:
  // looks the pending global up, pushes the arguments and calls it,
  // expecting no results. Whatever the script does meanwhile (a finaliser
  // that raises, registers handlers or runs out of memory) is only a failed
  // call: it prints "LUA: Error in function '<name>'" on standard output and
  // the Lua message on standard error, and leaves the stack as it was.
  // `argumentCount` must equal the number of arguments pushed.
  void callFunction(int argumentCount);

  // Closes every script's state and empties the list.
  void unloadScripts() { scripts_.clear(); }

  // Lets the loaded scripts run despite the stop requests made so far; see
  // LuaLimiter::tolerateStopsSoFar.
  void tolerateStopRequested();

  // Why the script code running now must stop (a stop request, or its call's
  // time budget used up), or null: for long work done for it outside Lua.
  const char* stopReason();

  // Runs `code` as a chunk in the first loaded script's state, inside one
  // protected call under its limits, and puts what the chunk returns into
  // *results, each converted as tostring() does. False, with the Lua message
  // (or "no script is loaded") in *error, when it does not compile or fails.
  bool runChunk(std::string_view code, std::vector<std::string>* results, std::string* error);

  bool empty() const { return scripts_.empty(); }
  size_t size() const { return scripts_.size(); }
  const std::vector<std::unique_ptr<Script>>& all() const { return scripts_; }

 private:
  ScriptArgument& nextArgument();
  Console& console_;
  std::vector<std::unique_ptr<Script>> scripts_;
  ScriptLimits limits_;
  // The arguments pushed since the last fetch: the first pendingCount_.
  std::vector<ScriptArgument> pendingArguments_;
  size_t pendingCount_ = 0;
};

}  // namespace gsadmin

#endif  // GSADMIN_SCRIPT_SCRIPT_MANAGER_H_
