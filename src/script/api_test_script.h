#ifndef GSADMIN_SCRIPT_API_TEST_SCRIPT_H_
#define GSADMIN_SCRIPT_API_TEST_SCRIPT_H_

// Test helpers for calling the script API from Lua code, as a script does.

#include <memory>
#include <string>

#include "console/console.h"
#include "script/api.h"
#include "script/lua.h"
#include "session/admin_session.h"
#include "support/session_harness.h"
#include "support/stdout_capture.h"

namespace gsadmin::testing {

// Prints its arguments comma-separated, nil included, so that "no value"
// (an empty line) and "one nil" ("nil") differ.
constexpr const char* kShowFunction =
    "function show(...)\n"
    "  local t = {}\n"
    "  for i = 1, select('#', ...) do t[i] = tostring((select(i, ...))) end\n"
    "  print(table.concat(t, ','))\n"
    "end\n";

// Runs `chunk` in `L` and returns nothing; a Lua error (which no API
// function may raise) is written to `console` as "LUA ERROR: <message>".
inline void runChunk(lua_State* L, const std::string& chunk, Console& console) {
  if (luaL_dostring(L, chunk.c_str()) != 0) {
    const char* message = lua_tostring(L, -1);
    console.line(std::string("LUA ERROR: ") + (message ? message : "?"));
  }
  lua_settop(L, 0);
}

// A started session (SessionHarness) whose script.lua defines show().
class ApiScript {
 public:
  ApiScript() : harness_(kShowFunction) { harness_.output(); }
  // With the session's settings changed by `tweak` (its database, say).
  explicit ApiScript(const SettingsTweak& tweak)
      : harness_(kShowFunction, defaults::kAdminName, defaults::kAdminPassword,
                 Transport::kInMemory, tweak) {
    harness_.output();
  }

  // Runs `chunk` in the script's state; returns what was printed since the
  // previous call.
  std::string run(const std::string& chunk) {
    runChunk(harness_.session().scripts().all().at(0)->state.get(), chunk,
             harness_.session().console());
    return harness_.output();
  }

  // run() with no session current: the lines then go to standard output,
  // which is captured for the call.
  std::string runWithoutSession(const std::string& chunk) {
    Script& script = *harness_.session().scripts().all().at(0);
    bindState(script.state.get(), nullptr, &script);
    StdoutCapture capture;
    runChunk(script.state.get(), chunk, standardConsole());
    std::string out = capture.take();
    bindState(script.state.get(), &harness_.session(), &script);
    return out;
  }

  SessionHarness& harness() { return harness_; }
  AdminSession& session() { return harness_.session(); }

 private:
  SessionHarness harness_;
};

// A bare Lua state with the API and show(), with standard output captured,
// for sessions a harness cannot make: none at all, or one never started.
class BareApiState {
 public:
  // The API functions act on `session` (null: none).
  explicit BareApiState(SessionContext* session = nullptr)
      : state_(luaL_newstate()), capture_(std::make_unique<StdoutCapture>()) {
    bindState(state_.get(), session, nullptr);
    luaL_openlibs(state_.get());
    registerApi(state_.get());
    runChunk(state_.get(), kShowFunction, standardConsole());
  }

  std::string run(const std::string& chunk) {
    runChunk(state_.get(), chunk, standardConsole());
    return capture_->take();
  }

 private:
  LuaStatePtr state_;
  std::unique_ptr<StdoutCapture> capture_;
};

}  // namespace gsadmin::testing

#endif  // GSADMIN_SCRIPT_API_TEST_SCRIPT_H_
