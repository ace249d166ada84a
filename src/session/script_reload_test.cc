// Reloading the script: the old script's last event, a clean slate of
// handlers and timers, a fresh state, and a world and connection untouched.

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <string>

#include "session/admin_session.h"
#include "support/session_harness.h"

namespace gsadmin::testing {
namespace {

const char kFirstScript[] = R"lua(
kept = 'old state'
function stopping() print('first: stopping') end
function chat(p, text) print('first: chat ' .. text) end
function tick(id) print('first: tick') end
addEventHandler('onScriptStop', 'stopping')
addEventHandler('onPlayerChat', 'chat')
setTimer('tick', 50, 0)
)lua";

const char kSecondScript[] = R"lua(
function started()
  print('second: start, ' .. tostring(kept) .. ', ' .. getPlayerCount() .. ' players, ' ..
        tostring(isConnected()))
end
function chat(p, text) print('second: chat ' .. text) end
addEventHandler('onStart', 'started')
addEventHandler('onPlayerChat', 'chat')
)lua";

void writeScript(SessionHarness& h, const std::string& text) {
  std::ofstream(h.scriptPath(), std::ios::trunc) << text;
}

TEST(ScriptReloadTest, StopsTheOldScriptAndStartsTheNewOneOnTheSameWorld) {
  SessionHarness h(kFirstScript);
  h.connect({}, {{4, "Ann"}, {7, "Bo"}});
  h.output();
  h.sent();
  writeScript(h, kSecondScript);
  const std::string name = "LUA: Script '" + h.scriptPath() + "' ";

  EXPECT_TRUE(h.session().reloadScript());
  EXPECT_EQ(h.output(), "first: stopping\n" + name + "loaded.\n" + name +
                            "reloaded.\nsecond: start, nil, 2 players, true\n");
  EXPECT_TRUE(h.sent().empty());
  EXPECT_EQ(h.session().events().size(), 2u);
  EXPECT_EQ(h.session().timers().size(), 0u);

  h.clock().advance(500);  // the old timer is gone
  h.deliver(chatLine(4, 1, "hi"));
  EXPECT_EQ(h.output(), "Ann: hi\nsecond: chat hi\n");
  EXPECT_TRUE(h.session().connected());
}

TEST(ScriptReloadTest, AFailedLoadLeavesTheClientRunningWithoutAScript) {
  SessionHarness h(kFirstScript);
  h.connect({}, {{4, "Ann"}});
  h.output();
  writeScript(h, "this is not lua");
  EXPECT_FALSE(h.session().reloadScript());
  EXPECT_EQ(h.output(), "first: stopping\nLUA: Unable to load script '" + h.scriptPath() + "'\n");
  EXPECT_TRUE(h.session().scripts().empty());
  EXPECT_EQ(h.session().events().size(), 0u);
  h.clock().advance(500);
  h.deliver(chatLine(4, 1, "still here"));
  EXPECT_EQ(h.output(), "Ann: still here\n");

  // Fixed, it loads again.
  writeScript(h, kSecondScript);
  EXPECT_TRUE(h.session().reloadScript());
  EXPECT_NE(h.output().find("second: start, nil, 1 players, true\n"), std::string::npos);
}

}  // namespace
TEST(ScriptReloadTest, TheConsoleReloadsAndQuitsAsTheSignalsDo) {
  SessionHarness h(kFirstScript);
  h.connect();
  h.output();
  h.session().handleTypedLine(".reload");
  const std::string name = "LUA: Script '" + h.scriptPath() + "' ";
  EXPECT_EQ(h.output(), "first: stopping\n" + name + "loaded.\n" + name +
                            "reloaded.\n* reloaded 1 of 1 script\n");

  // .quit ends the loop, which says goodbye to the script as on SIGTERM.
  volatile std::sig_atomic_t stop = 0;
  h.session().handleTypedLine(".quit");
  EXPECT_TRUE(h.session().run(&stop));
  EXPECT_NE(h.output().find("first: stopping\n"), std::string::npos);
}

}  // namespace gsadmin::testing
