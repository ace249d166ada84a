#ifndef GSADMIN_SCRIPT_SCRIPT_MANAGER_H_
#define GSADMIN_SCRIPT_SCRIPT_MANAGER_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/console.h"

struct lua_State;

namespace gsadmin {

// Closes a Lua state when its owner lets go of it.
struct LuaStateCloser {
  void operator()(lua_State* state) const;
};
using LuaStatePtr = std::unique_ptr<lua_State, LuaStateCloser>;

// One loaded script file with its own Lua state.
struct Script {
  LuaStatePtr state;
  std::string fileName;
  // Name of the global fetched for the call under way; printed when the call
  // fails. Set by fetchFunction, cleared by callFunction.
  std::optional<std::string> pendingFunctionName;
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

  // Loads `fileName` (relative to the working directory) into a fresh state
  // with the base, table, string and math libraries and the API, and runs its
  // main chunk. Prints "LUA: Unable to load script ..." when the file cannot
  // be loaded, nothing when the main chunk fails, and "LUA: Script ...
  // loaded." on success. Returns the loaded script (owned by this manager),
  // or null; a failed script's state is closed at once.
  Script* loadScripts(const std::string& fileName = kScriptFileName);

  // Pushes, in every script, what is needed to call the global named `name`
  // and records it as the pending function name. The global is read when the
  // call runs, inside the protected call, so even a failing lookup is only a
  // failed call. Nothing but arguments may be pushed before callFunction.
  void fetchFunction(std::string_view name);

  // Push one argument onto every script's stack.
  void pushInteger(int32_t value);
  void pushString(std::string_view text);

  // Calls the fetched function in every script with the `argumentCount`
  // values pushed after it, in protected mode, expecting no results. A
  // failure prints "LUA: Error in function '<name>'" and leaves the stack as
  // it was before the fetch.
  void callFunction(int argumentCount);

  bool empty() const { return scripts_.empty(); }
  size_t size() const { return scripts_.size(); }
  const std::vector<std::unique_ptr<Script>>& all() const { return scripts_; }

 private:
  Console& console_;
  std::vector<std::unique_ptr<Script>> scripts_;
};

}  // namespace gsadmin

#endif  // GSADMIN_SCRIPT_SCRIPT_MANAGER_H_
