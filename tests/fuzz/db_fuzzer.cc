// Runs arbitrary SQL through the scripts' dbExec and dbQuery: a real Lua
// state runs a script that passes the input on, on a database file in a
// temporary directory in memory. The session and its script serve many
// inputs; before each, what earlier ones made (tables, views, an open
// transaction) is dropped, so that each starts on an empty database.
//
// Input: up to eight calls, separated by 0x1E bytes, run in order on the
// same database. A call is its SQL text, then up to three values to bind,
// each after a NUL byte. A value that reads as a number is bound as a
// number; "nil", "true" and "false" as those; anything else as text. Each
// call must end within its time budget (an endless statement is stopped)
// plus a margin, however the SQL tries to stall it.

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "fuzz/fuzz_setup.h"
#include "script/script_manager.h"
#include "session/admin_session.h"
#include "support/manual_clock.h"
#include "support/recording_console.h"

namespace {

constexpr uint64_t kBudgetMs = 20;
constexpr int kMostCalls = 8;
// One SQL function call is seen only when it returns; at the value limits
// the slowest takes about half a second, more under the sanitizers.
constexpr auto kMostPastBudget = std::chrono::seconds(5);

const char kScript[] = R"lua(
local function value(v)
  if v == 'nil' then return nil end
  if v == 'true' then return true end
  if v == 'false' then return false end
  return tonumber(v) or v
end

-- Each placeholder count is tried; the calls whose count does not match
-- the statement's are refused before it runs.
function fuzz(sql, a, b, c)
  a, b, c = value(a), value(b), value(c)
  dbExec(sql)
  dbExec(sql, a)
  dbQuery(sql, a, b)
  local rows = dbQuery(sql, a, b, c)
  for _, row in ipairs(rows or {}) do
    for name, field in pairs(row) do local _ = tostring(name) .. tostring(field) end
  end
end

-- Drops every table and view (their indexes and triggers go with them).
function reset()
  for _, master in ipairs({'sqlite_temp_master', 'sqlite_master'}) do
    local rows = dbQuery('SELECT type, name FROM ' .. master ..
                         " WHERE type IN ('table', 'view') AND name NOT LIKE 'sqlite_%'")
    for _, row in ipairs(rows or {}) do
      dbExec('DROP ' .. row.type:upper() .. ' IF EXISTS "' .. row.name:gsub('"', '""') .. '"')
    end
  end
end
)lua";

// Calls the script's fuzz() with the SQL and the values of `call`, split at
// NUL bytes, and checks that it ended in time.
void runCall(gsadmin::ScriptManager& scripts, std::string_view call) {
  scripts.fetchFunction("fuzz");
  int arguments = 0;
  while (arguments < 4) {
    size_t end = call.find('\0');
    scripts.pushString(call.substr(0, end));
    ++arguments;
    if (end == std::string_view::npos) break;
    call.remove_prefix(end + 1);
  }
  auto start = std::chrono::steady_clock::now();
  scripts.callFunction(arguments);
  if (std::chrono::steady_clock::now() - start >
      std::chrono::milliseconds(kBudgetMs) + kMostPastBudget) {
    std::fprintf(stderr, "a call outlived its budget of %llu ms by over 5 s\n",
                 static_cast<unsigned long long>(kBudgetMs));
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  gsadmin::fuzz::enterWorkDirectory("db");
  FILE* script = std::fopen("script.lua", "w");
  if (script == nullptr || std::fputs(kScript, script) < 0) std::abort();
  std::fclose(script);
  return 0;
}

// The session the inputs share, with its console; made afresh, on a new
// database file, every kRunsPerSession inputs.
struct Shared {
  gsadmin::ManualClock clock;
  gsadmin::testing::RecordingConsole* console = nullptr;  // the session's
  std::unique_ptr<gsadmin::AdminSession> session;
  int runs = 0;
};

gsadmin::AdminSession& sessionForRun(Shared& shared) {
  if (shared.session && shared.runs++ < gsadmin::fuzz::kRunsPerSession) {
    // What the previous input left open or made goes.
    shared.session->rollBackDatabaseTransaction();
    shared.session->scripts().fetchFunction("reset");
    shared.session->scripts().callFunction(0);
    return *shared.session;
  }
  shared.session.reset();
  gsadmin::fuzz::removeScriptDatabase();
  shared.runs = 1;
  gsadmin::SessionIo io;
  auto console = std::make_unique<gsadmin::testing::RecordingConsole>();
  shared.console = console.get();
  io.console = std::move(console);
  shared.session = std::make_unique<gsadmin::AdminSession>(gsadmin::SessionSettings(), shared.clock,
                                                           std::move(io));
  gsadmin::ScriptLimits limits;
  limits.budgetMs = kBudgetMs;
  limits.memoryBytes = size_t{256} * 1024 * 1024;
  shared.session->scripts().setLimits(limits);
  if (shared.session->scripts().loadScripts() == nullptr) std::abort();
  return *shared.session;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Shared shared;
  gsadmin::AdminSession& session = sessionForRun(shared);
  std::string_view input(reinterpret_cast<const char*>(data), size);
  for (int call = 0; call < kMostCalls && !input.empty(); ++call) {
    size_t end = input.find('\x1e');
    runCall(session.scripts(), input.substr(0, end));
    input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
  }
  shared.console->takeOutput();
  shared.console->takeErrors();
  return 0;
}
