// The real binary keeps a script's code within reach of its time budget and
// of the stop signals (looping finalisers during a call, at a reload and at
// the exit, and SQL run by the main chunk), loads source text only, and
// requires modules from lib/ only.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "script/lua.h"
#include "sim/server_messages.h"
#include "support/client_process.h"
#include "support/loopback_peer.h"

namespace gsadmin::testing {
namespace {

std::vector<std::string> argsFor(const LoopbackPeer& peer, std::vector<std::string> options) {
  for (const char* arg : {"--no-input", "127.0.0.1", "", "Admin", "pw"}) options.push_back(arg);
  options[options.size() - 3] = std::to_string(peer.port());
  return options;
}

// A proxy kept in a global and one dropped by onStart, both with a
// finaliser that never ends.
const char kLoopingFinalisers[] = R"lua(
local function forever() print('script: finaliser runs') while true do end end
kept = newproxy(true)
getmetatable(kept).__gc = forever
function started()
  getmetatable(newproxy(true)).__gc = forever
  collectgarbage()
  print('script: collected')
end
addEventHandler('onStart', 'started')
)lua";

TEST(ScriptSandboxTest, LoopingFinalisersAreStoppedInACallAtAReloadAndAtTheExit) {
  LoopbackPeer peer;
  ClientProcess client(argsFor(peer, {"--script-budget=300"}), kLoopingFinalisers);
  const std::vector<std::string> collected = {"script: collected", "script: finaliser runs",
                                              "LUA: Error in function '__gc'"};
  ASSERT_TRUE(client.waitForLine(collected[0]));
  EXPECT_EQ(client.nextLine(), collected[1]);
  EXPECT_EQ(client.nextLine(), collected[2]);
  // The reload comes after the login, so the lines keep one order.
  ASSERT_TRUE(client.waitForLine("Connecting to 127.0.0.1:"));
  client.kill(SIGHUP);  // the kept proxy's finaliser runs as the state closes
  EXPECT_EQ(client.nextLine(), "script: finaliser runs");
  EXPECT_EQ(client.nextLine(), "LUA: Error in function '__gc'");
  EXPECT_EQ(client.nextLine(), "LUA: Script 'script.lua' loaded.");
  EXPECT_EQ(client.nextLine(), "LUA: Script 'script.lua' reloaded.");
  for (const std::string& line : collected) EXPECT_EQ(client.nextLine(), line);
  client.kill(SIGTERM);
  EXPECT_EQ(client.waitExit(5000), 0);
  EXPECT_NE(client.errorOutput().find("ran longer than its budget of 300 ms"), std::string::npos);
}

TEST(ScriptSandboxTest, ASignalStopsALoopingFinaliserWithoutABudget) {
  LoopbackPeer peer;
  ClientProcess client(argsFor(peer, {"--script-budget=0"}), kLoopingFinalisers);
  ASSERT_TRUE(client.waitForLine("script: finaliser runs"));
  client.kill(SIGINT);
  EXPECT_EQ(client.nextLine(), "LUA: Error in function '__gc'");
  // The exit runs the kept proxy's finaliser: a second signal stops it.
  EXPECT_EQ(client.nextLine(), "script: finaliser runs");
  client.kill(SIGTERM);
  EXPECT_EQ(client.waitExit(5000), 0);
}

const char kEndlessQuery[] = R"lua(
print('script: querying')
print(dbQuery('WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT count(*) FROM n'))
)lua";

TEST(ScriptSandboxTest, SqlOfTheMainChunkStopsAtTheBudgetAndAtASignal) {
  LoopbackPeer peer;
  ClientProcess budgeted(argsFor(peer, {"--script-budget=300"}), kEndlessQuery);
  ASSERT_TRUE(budgeted.waitForLine("script: querying"));
  std::optional<std::string> refused = budgeted.nextLine(5000);
  EXPECT_EQ(refused.value_or("").find("dbQuery: ran longer than its budget"), 0u) << *refused;
  budgeted.kill(SIGTERM);
  EXPECT_EQ(budgeted.waitExit(), 0);

  for (int signal : {SIGINT, SIGTERM}) {
    ClientProcess unlimited(argsFor(peer, {"--script-budget=0"}), kEndlessQuery);
    ASSERT_TRUE(unlimited.waitForLine("script: querying"));
    unlimited.kill(signal);
    EXPECT_EQ(unlimited.waitExit(5000), 0);
  }
}

int appendTo(lua_State*, const void* data, size_t size, void* out) {
  static_cast<std::string*>(out)->append(static_cast<const char*>(data), size);
  return 0;
}

TEST(ScriptSandboxTest, APrecompiledScriptIsUnableToLoad) {
  lua_State* L = luaL_newstate();
  std::string bytes;
  ASSERT_EQ(luaL_loadstring(L, "print('script: compiled ran')"), 0);
  lua_dump(L, appendTo, &bytes);
  lua_close(L);
  LoopbackPeer peer;
  ClientProcess client(argsFor(peer, {}), bytes);
  EXPECT_EQ(client.waitForLine("LUA:"), "LUA: Unable to load script 'script.lua'");
  client.kill(SIGTERM);
  EXPECT_EQ(client.waitExit(), 0);
  EXPECT_EQ(client.output().find("compiled ran"), std::string::npos);
  EXPECT_NE(client.errorOutput().find("attempt to load a binary chunk"), std::string::npos);
}

// require loads from lib/ beside the script, and a link anywhere below it,
// a directory on the way as much as the file, takes it nowhere else.
TEST(ScriptSandboxTest, RequireFollowsNoLinkBelowLib) {
  TempDir outside;
  ASSERT_EQ(mkdir((outside.path() + "/pkg").c_str(), 0700), 0);
  outside.write("pkg/evil.lua", "print('script: outside ran') return 'evil'\n");
  TempDir dir;
  for (const char* folder : {"/lib", "/lib/real", "/lib/real/deep"}) {
    ASSERT_EQ(mkdir((dir.path() + folder).c_str(), 0700), 0);
  }
  dir.write("lib/real/deep/mod.lua", "return 'inside'\n");
  ASSERT_EQ(symlink((outside.path() + "/pkg").c_str(), (dir.path() + "/lib/linked").c_str()), 0);
  ASSERT_EQ(symlink((outside.path() + "/pkg").c_str(), (dir.path() + "/lib/real/up").c_str()), 0);
  ASSERT_EQ(
      symlink((outside.path() + "/pkg/evil.lua").c_str(), (dir.path() + "/lib/file.lua").c_str()),
      0);
  const char script[] = R"lua(
for _, name in ipairs({'real.deep.mod', 'linked.evil', 'real.up.evil', 'file'}) do
  local value = require(name)
  print('script: ' .. name .. ' ' .. tostring(value))
end
)lua";
  LoopbackPeer peer;
  ClientProcess client(argsFor(peer, {}), std::string(script), ClientProcess::defaultBinary(),
                       std::nullopt, dir.path());
  EXPECT_EQ(client.waitForLine("script: "), "script: real.deep.mod inside");
  for (const char* name : {"linked.evil", "real.up.evil", "file"}) {
    EXPECT_EQ(client.nextLine(), "require: No such module '" + std::string(name) + "'.");
    EXPECT_EQ(client.nextLine(), "script: " + std::string(name) + " nil");
  }
  client.kill(SIGTERM);
  EXPECT_EQ(client.waitExit(), 0);
  EXPECT_EQ(client.output().find("outside ran"), std::string::npos) << client.output();
  EXPECT_NE(client.errorOutput().find("symbolic links"), std::string::npos) << client.errorOutput();
}

}  // namespace
}  // namespace gsadmin::testing
