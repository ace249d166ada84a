// setTimer, killTimer, getTickCount, getPlayers and getPlayerCount, called
// from a real script in a session whose clock moves by hand.

#include <gtest/gtest.h>

#include <string>

#include "script/api_test_script.h"

namespace gsadmin {
namespace {

using testing::ApiScript;
using testing::SessionHarness;

TEST(TimerApiTest, RefusalsFollowTheConventions) {
  ApiScript s;
  struct Case {
    const char* call;
    const char* output;
  };
  const Case cases[] = {
      {"show(setTimer())", "setTimer: Invalid argument #1.\n\n"},
      {"show(setTimer({}, 10))", "setTimer: Invalid argument #1.\n\n"},
      {"show(setTimer('f'))", "setTimer: Invalid argument #2.\n\n"},
      {"show(setTimer('f', 'soon'))", "setTimer: Invalid argument #2.\n\n"},
      {"show(setTimer('f', 0.5))", "setTimer: Invalid argument #2.\n\n"},
      {"show(setTimer('f', 0/0))", "setTimer: Invalid argument #2.\n\n"},
      {"show(setTimer('f', 10, -1))", "setTimer: Invalid argument #3.\n\n"},
      {"show(setTimer('f', 10, 'x'))", "setTimer: Invalid argument #3.\n\n"},
      {"show(setTimer('f', 10, 0/0))", "setTimer: Invalid argument #3.\n\n"},
      {"show(killTimer())", "killTimer: Invalid argument #1.\n\n"},
      {"show(killTimer('one'))", "killTimer: Invalid argument #1.\n\n"},
      {"show(killTimer(12345), killTimer(-1), killTimer(0.5))", "false,false,false\n"},
      {"show(setTimer('f', 10), setTimer('f', 1e300, nil), setTimer(5, '20', 0))", "1,2,3\n"},
      {"show(killTimer(2), killTimer(2), killTimer('3'))", "true,false,true\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(s.run(c.call), c.output) << c.call;
  EXPECT_EQ(s.runWithoutSession("show(setTimer('f', 10), killTimer(1), getTickCount())"),
            "nil,false,0\n");
}

TEST(TimerApiTest, TimersCallTheirFunctionFromTheLoopWithTheirId) {
  SessionHarness h(
      "function tick(id) print('tick ' .. id .. ' at ' .. getTickCount()) end\n"
      "function once(id) print('once ' .. id) end\n"
      "function bad(id) error('no ' .. id) end\n"
      "function onChat(p, text) print('chat ' .. text) end\n"
      "addEventHandler('onPlayerChat', 'onChat')\n"
      "setTimer('tick', 100, 3)\n"
      "setTimer('once', 150)\n"
      "setTimer('bad', 120, 2)\n");
  h.connect({}, {{4, "Ann"}});  // at 1 ms
  h.output();
  h.session().poll();
  EXPECT_EQ(h.output(), "");  // nothing is due yet
  h.clock().advance(100);
  h.session().poll();
  EXPECT_EQ(h.output(), "tick 1 at 101\n");
  // A failing timer prints its line and keeps its schedule.
  h.clock().advance(20);
  h.session().poll();
  EXPECT_EQ(h.output(), "LUA: Error in function 'bad'\n");
  EXPECT_NE(h.errors().find("no 3"), std::string::npos);
  h.clock().advance(30);
  h.session().poll();
  EXPECT_EQ(h.output(), "once 2\n");
  h.clock().advance(90);  // 241: tick (due at 200) comes before bad (240)
  h.session().poll();
  EXPECT_EQ(h.output(), "tick 1 at 241\nLUA: Error in function 'bad'\n");
  // Due while a datagram waits: the timer runs after the handler.
  h.clock().advance(60);
  h.deliver(testing::chatLine(4, 1, "hi"));
  EXPECT_EQ(h.output(), "Ann: hi\nchat hi\ntick 1 at 301\n");
  h.clock().advance(1000);
  h.session().poll();
  EXPECT_EQ(h.output(), "");
  EXPECT_EQ(h.session().timers().size(), 0u);
}

TEST(TimerApiTest, ATimerMayKillItselfAndOthers) {
  SessionHarness h(
      "function selfish(id) print('selfish ' .. tostring(killTimer(id))) end\n"
      "function killer(id) print('killer ' .. tostring(killTimer(victim))) end\n"
      "function victimFn(id) print('victim') end\n"
      "setTimer('selfish', 10, 0)\n"
      "setTimer('killer', 10, 0)\n"
      "victim = setTimer('victimFn', 10, 0)\n");
  h.login();
  h.output();
  h.clock().advance(10);
  h.session().poll();
  EXPECT_EQ(h.output(), "selfish true\nkiller true\n");
  h.clock().advance(10);
  h.session().poll();
  EXPECT_EQ(h.output(), "killer false\n");
}

TEST(PlayerListApiTest, FollowsJoinsQuitsAndReacceptance) {
  ApiScript s;
  SessionHarness& h = s.harness();
  EXPECT_EQ(s.run("show(getPlayerCount(), #getPlayers())"), "0,0\n");
  h.connect({}, {{7, "Bo"}, {4, "Ann"}});
  h.addPlayer(9, "Cy");
  h.output();
  EXPECT_EQ(s.run("show(getPlayerCount(), unpack(getPlayers()))"), "3,7,4,9\n");
  h.deliver(testing::playerLeft(0, 4));
  h.output();
  EXPECT_EQ(s.run("show(getPlayerCount(), unpack(getPlayers()))"), "2,7,9\n");
  // A new acceptance replaces a listed id, which moves to the end.
  h.deliver(testing::connectionAccepted({}, {{7, "Bo"}, {5, "Di"}}));
  h.output();
  EXPECT_EQ(s.run("show(getPlayerCount(), unpack(getPlayers()))"), "3,9,7,5\n");
  EXPECT_EQ(s.runWithoutSession("show(getPlayerCount(), #getPlayers())"), "0,0\n");
}

}  // namespace
}  // namespace gsadmin
