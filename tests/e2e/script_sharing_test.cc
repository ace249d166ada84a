// The real binary gives its script the settings file beside it (read again
// at a reload) and the modules of its lib directory.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/client_process.h"
#include "support/loopback_peer.h"

namespace gsadmin::testing {
namespace {

const char kScript[] = R"lua(
local greet = require('greet')
print('script: ' .. greet.hello(getSetting('name', 'nobody')) .. ' ' .. getSetting('count', 0) + 1)
print('script: same module ' .. tostring(require('greet') == greet))
callScript('other', 'f')
)lua";

TEST(ScriptSharingTest, SettingsAndModulesBesideTheScript) {
  LoopbackPeer peer;
  TempDir dir;
  dir.write("script.lua", kScript);
  dir.write("script.conf", "# who\nname = Ann\ncount = 3\n");
  ASSERT_EQ(mkdir((dir.path() + "/lib").c_str(), 0700), 0);
  dir.write("lib/greet.lua", "return {hello = function(name) return 'hello ' .. name end}\n");
  std::vector<std::string> args = {"--no-input", "127.0.0.1", std::to_string(peer.port()), "Admin",
                                   "pw"};
  ClientProcess client(args, std::nullopt, ClientProcess::defaultBinary(), std::nullopt,
                       dir.path());
  ASSERT_TRUE(client.waitForLine("script: hello Ann 4"));
  EXPECT_EQ(client.nextLine(), "script: same module true");
  EXPECT_EQ(client.nextLine(), "callScript: No such script.");
  EXPECT_EQ(client.nextLine(), "LUA: Script 'script.lua' loaded.");

  dir.write("script.conf", "name = Bob\n");
  client.kill(SIGHUP);
  ASSERT_TRUE(client.waitForLine("script: hello Bob 1"));
  client.kill(SIGTERM);
  EXPECT_EQ(client.waitExit(5000), 0);
}

}  // namespace
}  // namespace gsadmin::testing
