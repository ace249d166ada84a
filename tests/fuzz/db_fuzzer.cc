// Runs arbitrary SQL through the scripts' dbExec and dbQuery: a real Lua
// state runs a script that passes the input on, on a database file in a
// temporary directory, removed before every input so that each runs alone.
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
)lua";

// The fuzzer's working directory, removed when it exits.
char g_directory[] = "/tmp/gsadmin-fuzz-db-XXXXXX";

void removeDatabase() {
  for (const char* name : {"script.db", "script.db-wal", "script.db-shm", "script.db-journal"}) {
    unlink(name);
  }
}

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
  if (mkdtemp(g_directory) == nullptr || chdir(g_directory) != 0) std::abort();
  FILE* script = std::fopen("script.lua", "w");
  if (script == nullptr || std::fputs(kScript, script) < 0) std::abort();
  std::fclose(script);
  std::atexit([] {
    removeDatabase();
    unlink("script.lua");
    rmdir(g_directory);
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  removeDatabase();
  gsadmin::ManualClock clock;
  gsadmin::SessionIo io;
  io.console = std::make_unique<gsadmin::testing::RecordingConsole>();
  auto session =
      std::make_unique<gsadmin::AdminSession>(gsadmin::SessionSettings(), clock, std::move(io));
  gsadmin::ScriptLimits limits;
  limits.budgetMs = kBudgetMs;
  limits.memoryBytes = size_t{256} * 1024 * 1024;
  session->scripts().setLimits(limits);
  if (session->scripts().loadScripts() == nullptr) std::abort();

  std::string_view input(reinterpret_cast<const char*>(data), size);
  for (int call = 0; call < kMostCalls && !input.empty(); ++call) {
    size_t end = input.find('\x1e');
    runCall(session->scripts(), input.substr(0, end));
    input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
  }
  session.reset();
  removeDatabase();
  return 0;
}
