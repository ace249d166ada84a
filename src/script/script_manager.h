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
#include "script/script_state.h"

struct lua_State;

namespace gsadmin {

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
  // Closes every state as unloadScripts does.
  ~ScriptManager();
  ScriptManager(const ScriptManager&) = delete;
  ScriptManager& operator=(const ScriptManager&) = delete;

  // The limits of every script loaded from now on; scripts already loaded
  // keep theirs.
  void setLimits(const ScriptLimits& limits) { limits_ = limits; }

  // Loads `fileName` (relative to the working directory) into a fresh state
  // set up by openSandbox (script_state.h), and runs its main chunk, all
  // inside one protected call under the limits; a precompiled file is
  // refused. Finalisers the chunk left queued run after it. Prints "LUA:
  // Unable to load script ..." when the file cannot be loaded, nothing on
  // standard output when the main chunk fails, and "LUA: Script ... loaded."
  // on success; a failure's Lua message goes to standard error. Returns the
  // loaded script (owned by this manager), or null; a failed script's state
  // is closed at once (closeScript). A loaded script ends the console state
  // of runChunk.
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
  // expecting no results. Whatever the script does meanwhile (raising,
  // running out of memory) is only a failed call: it prints "LUA: Error in
  // function '<name>'" on standard output and the Lua message on standard
  // error, and leaves the stack as it was. Finalisers queued meanwhile run
  // after the call (runQueuedFinalisers). `argumentCount` must equal the
  // number of arguments pushed.
  void callFunction(int argumentCount);

  // Closes every script's state (closeScript) and empties the list.
  void unloadScripts();

  // Lets the loaded scripts run despite the stop requests made so far; see
  // LuaLimiter::tolerateStopsSoFar.
  void tolerateStopRequested();

  // Why the script code running now (a main chunk being loaded, a handler,
  // a console chunk, a finaliser) must stop (a stop request, or its call's
  // time budget used up), or null: for long work done for it outside Lua.
  const char* stopReason();

  // Runs `code` (text only) as a chunk in the first loaded script's state,
  // or without one in a console state of its own (set up as a script's,
  // under the same limits, kept until a script loads), inside one protected
  // call, and puts what the chunk returns into *results, each converted as
  // tostring() does; a table becomes its fields (see runConsoleChunk in
  // script_chunk.h). False, with the Lua message in *error, when it does not
  // compile or fails, or the console state cannot be made.
  bool runChunk(std::string_view code, std::vector<std::string>* results, std::string* error);

  // The loaded script named `name`: its file name without directory and
  // without ".lua" ("stats" for "bots/stats.lua"); null when none is.
  Script* find(std::string_view name) const;

  // For an API function that runs another script's code on behalf of the
  // running one (callScript): makes `script` the running one for
  // stopReason and returns the one to give back to leaveScript after.
  LuaLimiter* enterScript(Script& script);
  void leaveScript(LuaLimiter* previous) { running_ = previous; }

  bool empty() const { return scripts_.empty(); }
  size_t size() const { return scripts_.size(); }
  const std::vector<std::unique_ptr<Script>>& all() const { return scripts_; }

 private:
  ScriptArgument& nextArgument();
  // The console state of runChunk, made when first needed; null when it
  // cannot be made.
  Script* consoleScript();
  Console& console_;
  std::vector<std::unique_ptr<Script>> scripts_;
  std::unique_ptr<Script> consoleScript_;
  // The limiter of the script whose code runs now, for stopReason.
  LuaLimiter* running_ = nullptr;
  ScriptLimits limits_;
  // The arguments pushed since the last fetch: the first pendingCount_.
  std::vector<ScriptArgument> pendingArguments_;
  size_t pendingCount_ = 0;
};

}  // namespace gsadmin

#endif  // GSADMIN_SCRIPT_SCRIPT_MANAGER_H_
