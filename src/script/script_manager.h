#ifndef GSADMIN_SCRIPT_SCRIPT_MANAGER_H_
#define GSADMIN_SCRIPT_SCRIPT_MANAGER_H_

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "console/console.h"
#include "events/events.h"
#include "script/lua_limits.h"
#include "script/script_state.h"

struct lua_State;

namespace gsadmin {

// An argument of a pending call, held by value until the call is made.
struct ScriptArgument {
  bool isText = false;
  bool isFields = false;  // a table of text fields
  int32_t integer = 0;
  std::string text;
  std::vector<std::pair<std::string, std::string>> fields;
};

// A script to load: its file and the name lines give it.
struct ScriptSource {
  std::string path;
  std::string name;
};

// The scripts, in load order, each with its own state and limits: those
// loaded, and those that failed or were stopped (kept so that they can be
// listed and loaded again). Owns them and their states for its own
// lifetime. Every primitive acts on loaded scripts only.
class ScriptManager {
 public:
  static constexpr const char* kScriptFileName = "script.lua";
  // More scripts than this are refused, as are longer paths.
  static constexpr size_t kMaxScripts = 256;
  static constexpr size_t kMaxPathBytes = 4096;

  // Lines ("LUA: ...") go to `console`, which must outlive the manager.
  // The API functions of every state reach `session` (null: none), which
  // must outlive the manager too.
  explicit ScriptManager(Console& console, SessionContext* session = nullptr)
      : console_(console), session_(session) {}
  // Closes every state as unloadScripts does.
  ~ScriptManager();
  ScriptManager(const ScriptManager&) = delete;
  ScriptManager& operator=(const ScriptManager&) = delete;

  // The limits of every script loaded from now on; scripts already loaded
  // keep theirs.
  void setLimits(const ScriptLimits& limits) { limits_ = limits; }

  // What `path` names: the file itself, named as given, or every "*.lua"
  // directly inside the directory it names, in byte order of the names,
  // each named by its file name. False, with nothing added, when it is a
  // directory that cannot be read.
  static bool expand(const std::string& path, std::vector<ScriptSource>* sources);

  // Loads every source in order (see load): with `directories`, what each
  // path names (expand), where a directory that cannot be read prints
  // "LUA: Unable to load script '<path>'"; without, each path as one file.
  void loadAll(const std::vector<std::string>& paths, bool directories);

  // Loads `source` into a fresh state set up by openSandbox (script_state.h)
  // and bound to the session and the script (bindState), and runs its main
  // chunk, all inside one protected call under the limits; a precompiled
  // file is refused. Finalisers the chunk left queued run after it. Prints
  // "LUA: Unable to load script '<name>'" when the file cannot be loaded,
  // nothing on standard output when the main chunk fails, and "LUA: Script
  // '<name>' loaded." on success (`quiet`: no success line); a failure's
  // Lua message goes to standard error. A script of the same name that is
  // not loaded is loaded again in its place; one that is loaded is left
  // alone (null is returned). Returns the loaded script (owned by this
  // manager), or null; a failed script's state is closed at once
  // (closeScript) and it is kept as failed. A loaded script ends the
  // console state of runChunk.
  Script* load(const ScriptSource& source, bool quiet = false);
  // load() of the file named as given: how the client loads script.lua.
  Script* loadScripts(const std::string& fileName = kScriptFileName);
  // Loads a script that is not loaded (failed or stopped) again from its
  // path, in its place in the list, with a new id. Null when it failed.
  Script* reload(Script& script, bool quiet = false);

  // Closes the script's state (closeScript) and marks it stopped; its
  // handlers and timers are its owner's to drop.
  void stop(Script& script);

  // The script (in any status) named `name`, or else named `name` followed
  // by ".lua"; null when none is. For API functions and commands that
  // address another script.
  Script* find(std::string_view name);
  // For an API function that runs another script's code on behalf of the
  // running one (callScript): makes `script` the running one for
  // stopReason and returns the one to give back to leaveScript after.
  LuaLimiter* enterScript(Script& script);
  void leaveScript(LuaLimiter* previous) { running_ = previous; }
  // True while script code runs (a handler, a main chunk, a timer...), so
  // that an event fired by an API function it called is fired nested.
  bool scriptRunning() const { return running_ != nullptr; }

  // The pending call and the running script, kept aside by an event fired
  // while a script runs and put back after it, so that the call under way
  // (a host timer's, which goes on to the next script) finds them intact.
  struct CallState {
    std::string name;
    std::vector<ScriptArgument> arguments;
    LuaLimiter* running = nullptr;
  };
  CallState saveCallState() const {
    return {pendingName_,
            {pendingArguments_.begin(),
             pendingArguments_.begin() + static_cast<std::ptrdiff_t>(pendingCount_)},
            running_};
  }
  void restoreCallState(CallState state) {
    pendingName_ = std::move(state.name);
    pendingCount_ = state.arguments.size();
    pendingArguments_ = std::move(state.arguments);
    running_ = state.running;
  }

  // The script whose id is `id`, or null (0 is no script's).
  Script* findById(uint64_t id);
  // The first loaded script, or null.
  Script* firstLoaded();

  // Starts a call of the global named `name` and forgets earlier
  // arguments. Nothing touches a Lua state until the call, so the caller's
  // text may go away at once.
  void fetchFunction(std::string_view name);

  // Adds one argument of the pending call; a text is copied.
  void pushInteger(int32_t value);
  void pushString(std::string_view text);
  // A table whose fields are the pairs' names and texts (a later pair of a
  // name wins); the pairs are moved in.
  void pushFields(std::vector<std::pair<std::string, std::string>> fields);

  // In `script` (when loaded), inside one protected call under the
  // script's limits: looks the pending global up, pushes the arguments and
  // calls it, expecting no results. Whatever the script does meanwhile
  // (raising, running out of memory) is only a failed call: it prints
  // "LUA: Error in function '<name>'" on standard output and the Lua
  // message on standard error, and leaves the stack as it was. Finalisers
  // queued meanwhile run after the call (runQueuedFinalisers).
  // `argumentCount` must equal the number of arguments pushed. The pending
  // call stays, for the next script. Returns the registry slot the
  // function's name has in the script's state, for callByRefIn; 0 when it
  // has none (the script's first kMaxNameRefs names get one).
  int callFunctionIn(Script& script, int argumentCount);
  // The same call of the global whose name is in registry slot `nameRef`
  // of `script`'s state (as callFunctionIn returned it), with `arguments`,
  // without copying the name or the arguments, when that needs nothing
  // that could raise or allocate outside the protected call: the arguments
  // are integers and the global is a function, found without a metamethod.
  // False, with nothing done, otherwise: then callFunctionIn must be used.
  // The pending call is untouched.
  bool callByRefIn(Script& script, int nameRef, std::span<const EventArgument> arguments);
  // callFunctionIn every loaded script in turn, then forgets the call.
  void callFunction(int argumentCount);
  // How many calls of callFunctionIn() raised an error, for the metrics.
  uint64_t errorCount() const { return errorCount_; }
  // The same by the name of the script that raised them (as a script is
  // named, whatever bytes that holds), for the first kMaxScripts names.
  const std::map<std::string, uint64_t>& errorsByScript() const { return errorsByScript_; }

  // Closes every script's state (closeScript) and marks them stopped.
  void unloadScripts();

  // Lets the loaded scripts run despite the stop requests made so far; see
  // LuaLimiter::tolerateStopsSoFar.
  void tolerateStopRequested();

  // Why the script code running now (a main chunk being loaded, a handler,
  // a console chunk, a finaliser) must stop (a stop request, or its call's
  // time budget used up), or null: for long work done for it outside Lua.
  const char* stopReason();

  // Runs `code` (text only) as a chunk in `script`'s state (loaded), or
  // with null in the first loaded script's, or without one in a console
  // state of its own (set up as a script's, under the same limits, kept
  // until a script loads), inside one protected call, and puts what the
  // chunk returns into *results, each converted as tostring() does; a table
  // becomes its fields (see runConsoleChunk in script_chunk.h). False, with
  // the Lua message in *error, when it does not compile or fails, or the
  // console state cannot be made.
  bool runChunk(std::string_view code, std::vector<std::string>* results, std::string* error,
                Script* script = nullptr);

  // No script is loaded.
  bool empty() const { return loadedCount() == 0; }
  // The number of loaded scripts.
  size_t size() const { return loadedCount(); }
  size_t loadedCount() const;
  // Every script, loaded or not, in load order.
  const std::vector<std::unique_ptr<Script>>& all() const { return scripts_; }

 private:
  // The next slot of the pending call, of the kind given.
  ScriptArgument& nextArgument(bool isText, bool isFields);
  // The protected call of the function and `pushed` - 1 arguments on top
  // of `script`'s stack, under its limits; the status.
  int callPushed(Script& script, int pushed);
  // The lines of a failed call of the function `name`, or of the function
  // whose name is in registry slot `nameRef`: kept apart from the calls, so
  // that what only a failure needs costs them nothing.
  [[gnu::noinline]] void reportCallFailure(Script& script, int status, const std::string& name);
  [[gnu::noinline]] void reportRefFailure(Script& script, int status, int nameRef);
  // What follows every call: the finalisers it queued.
  void afterCall(Script& script);
  // Opens `script`'s state and runs its file; see load.
  Script* open(Script& script, bool quiet);
  // Counts an error of the script `name`, by name for the first kMaxScripts.
  void countError(const std::string& name) {
    ++errorCount_;
    if (errorsByScript_.size() < kMaxScripts || errorsByScript_.contains(name)) {
      ++errorsByScript_[name];
    }
  }
  // Gives every script its error prefix for the number of scripts known.
  void refreshPrefixes();
  // The console state of runChunk, made when first needed; null when it
  // cannot be made.
  Script* consoleScript();
  Console& console_;
  SessionContext* session_;
  std::vector<std::unique_ptr<Script>> scripts_;
  std::unique_ptr<Script> consoleScript_;
  // The limiter of the script whose code runs now, for stopReason.
  LuaLimiter* running_ = nullptr;
  ScriptLimits limits_;
  uint64_t nextId_ = 1;
  uint64_t errorCount_ = 0;
  std::map<std::string, uint64_t> errorsByScript_;
  // The global of the pending call; its storage is reused from event to
  // event.
  std::string pendingName_;
  // The arguments pushed since the last fetch: the first pendingCount_.
  std::vector<ScriptArgument> pendingArguments_;
  size_t pendingCount_ = 0;
};

}  // namespace gsadmin

#endif  // GSADMIN_SCRIPT_SCRIPT_MANAGER_H_
