// The real binary and signals: SIGHUP reloads the script on the same
// connection, SIGTERM lets the script say goodbye, and timers run between.

#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <string>

#include "sim/server_messages.h"
#include "support/client_process.h"
#include "support/loopback_peer.h"

namespace gsadmin::testing {
namespace {

const char kFirst[] = R"lua(
function bye() print('first: bye') end
function tick(id) print('first: tick ' .. id) end
addEventHandler('onScriptStop', 'bye')
setTimer('tick', 20, 0)
)lua";

const char kSecond[] = R"lua(
function hello()
  print('second: hello, ' .. getPlayerCount() .. ' players, ' .. tostring(isConnected()))
end
function bye() print('second: bye after ' .. count .. ' ticks') end
count = 0
function tick(id)
  count = count + 1
  if count == 3 then print('second: ticked 3 times') end
end
addEventHandler('onStart', 'hello')
addEventHandler('onScriptStop', 'bye')
setTimer('tick', 10, 3)
)lua";

TEST(ScriptSignalsTest, HangUpReloadsAndTerminateSaysGoodbye) {
  LoopbackPeer peer;
  ClientProcess client({"127.0.0.1", std::to_string(peer.port()), "Admin", "pw"}, kFirst);
  ASSERT_TRUE(peer.receive(5000));  // the login
  ServerRecord record;
  ASSERT_TRUE(peer.send(connectionAccepted(record, {{4, "Ann"}})));
  ASSERT_TRUE(client.waitForLine("Successfully connected!"));
  EXPECT_TRUE(client.waitForLine("first: tick 1"));

  std::ofstream(client.directory() + "/script.lua", std::ios::trunc) << kSecond;
  client.kill(SIGHUP);
  EXPECT_EQ(client.waitForLine("first: bye"), "first: bye");
  EXPECT_EQ(client.nextLine(), "LUA: Script 'script.lua' loaded.");
  EXPECT_EQ(client.nextLine(), "LUA: Script 'script.lua' reloaded.");
  EXPECT_EQ(client.nextLine(), "second: hello, 1 players, true");
  EXPECT_EQ(client.nextLine(), "second: ticked 3 times");
  client.kill(SIGTERM);
  EXPECT_EQ(client.nextLine(), "second: bye after 3 ticks");
  EXPECT_EQ(client.waitExit(), 0);
  client.readToEnd();
  // The first script's endless timer went with it.
  const std::string& output = client.output();
  EXPECT_EQ(output.find("first: tick", output.find("reloaded.")), std::string::npos) << output;
  EXPECT_EQ(output.find("LUA: Error"), std::string::npos) << output;
}

// The most timers a script may hold, all due at once, every 50 ms.
const char kManyTimers[] = R"lua(
ticks = 0
function tick(id)
  ticks = ticks + 1
  if ticks == 1 then print('ticking') end
end
for i = 1, 100000 do setTimer('tick', 50, 0) end
)lua";

TEST(ScriptSignalsTest, TerminateIsAnsweredWhileManyTimersAreDue) {
  LoopbackPeer peer;
  ClientProcess client({"--no-input", "127.0.0.1", std::to_string(peer.port()), "Admin", "pw"},
                       kManyTimers);
  ASSERT_TRUE(client.waitForLine("ticking", 10000)) << client.output();
  client.kill(SIGTERM);
  // Generous: a round of these timers took many seconds when each due timer
  // was found by a walk over all of them.
  EXPECT_EQ(client.waitExit(3000), 0);
}

}  // namespace
}  // namespace gsadmin::testing
