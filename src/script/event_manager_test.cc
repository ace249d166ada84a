// Registering handlers and firing events into a real script.

#include "script/event_manager.h"

#include <gtest/gtest.h>

#include "script/api_test_script.h"
#include "support/session_harness.h"

namespace gsadmin {
namespace {

using testing::SessionHarness;

// The line that reports the harness's script loaded.
std::string loaded(SessionHarness& harness) {
  return "LUA: Script '" + harness.scriptPath() + "' loaded.\n";
}

// A script whose main chunk is `body`, with the loaded line consumed.
struct Scripted {
  explicit Scripted(const std::string& body) : harness(body) {
    EXPECT_EQ(harness.output(), loaded(harness));
  }
  EventManager& events() { return harness.session().events(); }
  std::string output() { return harness.output(); }
  SessionHarness harness;
};

TEST(EventManagerTest, EveryFiringShapePushesItsArgumentsInOrder) {
  Scripted s(
      "function show(...) local t = {...} for i = 1, select('#', ...) do\n"
      "  t[i] = type(t[i]) .. ':' .. tostring(t[i]) end print(table.concat(t, ',')) end\n"
      "for _, e in ipairs({'onConnect', 'onPlayerJoin', 'onPlayerVehicleEnter', 'onAdminChat',\n"
      "                    'onPlayerChat', 'onPlayerHealthChange'}) do\n"
      "  addEventHandler(e, 'show') end\n");
  s.events().fireEvent(Event::kConnect);
  s.events().fireEvent(Event::kPlayerJoin, -7);
  s.events().fireEvent(Event::kPlayerVehicleEnter, 1, 2147483647);
  s.events().fireEvent(Event::kAdminChat, std::string_view("hi there"));
  s.events().fireEvent(Event::kPlayerChat, 5, std::string_view("a\x1b b"));
  s.events().fireEvent(Event::kPlayerHealthChange, 3, 99, 100);
  EXPECT_EQ(s.output(),
            "\n"
            "number:-7\n"
            "number:1,number:2147483647\n"
            "string:hi there\n"
            "number:5,string:a\x1b b\n"
            "number:3,number:99,number:100\n");
}

TEST(EventManagerTest, HandlersRunInRegistrationOrderEachToItsEnd) {
  Scripted s(
      "addEventHandler('onPlayerChat', 'f')\n"
      "addEventHandler('onPlayerChat', 'g')\n"
      "function f(id, text) print('f start', id, text) print('f end') end\n"
      "function g(id, text) print('g', id, text) end\n");
  s.events().fireEvent(Event::kPlayerChat, 4, std::string_view("hello"));
  EXPECT_EQ(s.output(), "f start\t4\thello\nf end\ng\t4\thello\n");
}

TEST(EventManagerTest, DuplicateRegistrationCallsTwiceAndOneRemovalRemovesOne) {
  Scripted s(
      "addEventHandler('onConnect', 'f')\n"
      "addEventHandler('onConnect', 'f')\n"
      "function f() print('f') end\n");
  s.events().fireEvent(Event::kConnect);
  EXPECT_EQ(s.output(), "f\nf\n");
  EXPECT_EQ(s.events().size(), 2u);
  s.events().removeHandler("onConnect", "f", s.harness.session().scripts().all().at(0)->id);
  s.events().fireEvent(Event::kConnect);
  EXPECT_EQ(s.output(), "f\n");
}

TEST(EventManagerTest, NamesAreExact) {
  Scripted s(
      "addEventHandler('onstart', 'f')\n"
      "addEventHandler('onStart ', 'f')\n"
      "function f() print('called') end\n");
  s.events().fireEvent(Event::kStart);
  EXPECT_EQ(s.output(), "");
}

TEST(EventManagerTest, RegistrationDiagnostics) {
  SessionHarness harness(
      "addEventHandler('onStart')\n"
      "removeEventHandler('onStart')\n"
      "addEventHandler(nil, 'f')\n"
      "addEventHandler('onStart', {})\n"
      "addEventHandler({}, {})\n"
      "removeEventHandler(true, 'f')\n"
      "removeEventHandler('onStart', nil)\n"
      "removeEventHandler('never', 'registered')\n"
      "addEventHandler('onStart', 5, 'ignored')\n"
      "print(addEventHandler('onStart', 'f'))\n");
  EXPECT_EQ(harness.output(),
            "addEventHandler: Invalid argument #1.\n"
            "addEventHandler: Invalid argument #2.\n"
            "addEventHandler: Invalid argument #1.\n"
            "removeEventHandler: Invalid argument #1.\n"
            "removeEventHandler: Invalid argument #2.\n"
            "\n" +
                loaded(harness) +
                "LUA: Error in function '5'\n"
                "LUA: Error in function 'f'\n");
  ASSERT_EQ(harness.session().events().size(), 2u);
  EXPECT_EQ(harness.session().events().all()[0].functionName, "5");
}

// Names are kept outside the script's memory ceiling, so they are capped:
// 256 bytes pass, 257 are refused in the function's own words, as is a
// handler past the registry's size.
TEST(EventManagerTest, NamesAndHandlersAreBounded) {
  testing::ApiScript s;
  struct Case {
    const char* call;
    const char* output;
  };
  const Case cases[] = {
      {"addEventHandler(('e'):rep(257), 'f')", "addEventHandler: Invalid argument #1.\n"},
      {"addEventHandler('onStart', ('f'):rep(257))", "addEventHandler: Invalid argument #2.\n"},
      {"removeEventHandler(('e'):rep(257), 'f')", "removeEventHandler: Invalid argument #1.\n"},
      {"removeEventHandler('onStart', ('f'):rep(257))",
       "removeEventHandler: Invalid argument #2.\n"},
      {"show(setTimer(('f'):rep(257), 10))", "setTimer: Invalid argument #1.\n\n"},
      {"addEventHandler('onStart', ('f'):rep(256))", ""},
      {"show(setTimer(('f'):rep(256), 10))", "1\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(s.run(c.call), c.output) << c.call;
  EventManager& events = s.session().events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events.all()[0].functionName.size(), 256u);
  EXPECT_EQ(s.run("for i = 2, " + std::to_string(EventManager::kMaxHandlers) +
                  " do addEventHandler('onStart', 'f') end\n"
                  "addEventHandler('onStart', 'f')"),
            "addEventHandler: Too many handlers.\n");
  EXPECT_EQ(events.size(), EventManager::kMaxHandlers);
}

// A name no event has is kept (a script may rely on it), with a word on
// standard error.
TEST(EventManagerTest, AnUnknownEventNameIsKeptWithAWarning) {
  SessionHarness harness(
      "addEventHandler('onPlayerJoined', 'f')\n"
      "addEventHandler('onPlayerJoin', 'f')\n"
      "addEventHandler('on\\27[2J', 'f')\n");
  EXPECT_EQ(harness.output(), loaded(harness));
  EXPECT_EQ(harness.errors(),
            "addEventHandler: no event is named 'onPlayerJoined'\n"
            "addEventHandler: no event is named 'on?[2J'\n");
  EXPECT_EQ(harness.session().events().size(), 3u);
}

TEST(EventManagerTest, HandlerAddedDuringDispatchIsReachedInTheSameDispatch) {
  Scripted s(
      "addEventHandler('onConnect', 'first')\n"
      "function first() print('first') if not added then added = true\n"
      "  addEventHandler('onConnect', 'second') end end\n"
      "function second() print('second') end\n");
  s.events().fireEvent(Event::kConnect);
  EXPECT_EQ(s.output(), "first\nsecond\n");
  s.events().fireEvent(Event::kConnect);
  EXPECT_EQ(s.output(), "first\nsecond\n");
}

TEST(EventManagerTest, HandlerRemovedDuringDispatchIsNotVisited) {
  Scripted s(
      "addEventHandler('onConnect', 'a')\n"
      "addEventHandler('onConnect', 'b')\n"
      "addEventHandler('onConnect', 'c')\n"
      "function a() print('a') removeEventHandler('onConnect', 'b') end\n"
      "function b() print('b') end\n"
      "function c() print('c') end\n");
  s.events().fireEvent(Event::kConnect);
  EXPECT_EQ(s.output(), "a\nc\n");
}

TEST(EventManagerTest, HandlerRemovingItselfLetsTheFollowingOnesRun) {
  Scripted s(
      "addEventHandler('onConnect', 'once')\n"
      "addEventHandler('onConnect', 'after')\n"
      "function once() removeEventHandler('onConnect', 'once') print('once') end\n"
      "function after() print('after') end\n");
  s.events().fireEvent(Event::kConnect);
  EXPECT_EQ(s.output(), "once\nafter\n");
  s.events().fireEvent(Event::kConnect);
  EXPECT_EQ(s.output(), "after\n");
}

TEST(EventManagerTest, HandlerRemovingEverythingEndsTheDispatchSafely) {
  Scripted s(
      "for i = 1, 5 do addEventHandler('onConnect', 'wipe') end\n"
      "function wipe() print('wipe') for i = 1, 5 do removeEventHandler('onConnect', 'wipe') end "
      "end\n");
  s.events().fireEvent(Event::kConnect);
  EXPECT_EQ(s.output(), "wipe\n");
  EXPECT_EQ(s.events().size(), 0u);
}

// After its first call a handler is called through its name's registry
// slot; a failure there is still reported under its name, even when the
// call moved its record (by adding handlers) or removed it.
TEST(EventManagerTest, AHandlerFailingOnALaterCallIsNamedWhereverItsRecordWent) {
  Scripted s(
      "n = 0\n"
      "addEventHandler('onPlayerJoin', 'flaky')\n"
      "function flaky(id)\n"
      "  n = n + 1\n"
      "  if n == 2 then error('second') end\n"
      "  if n == 3 then\n"
      "    for i = 1, 50 do addEventHandler('onPlayerQuit', 'other') end\n"
      "    error('third')\n"
      "  end\n"
      "  if n == 4 then removeEventHandler('onPlayerJoin', 'flaky') error('fourth') end\n"
      "  print('flaky ' .. id)\n"
      "end\n");
  for (int id = 1; id <= 5; ++id) s.events().fireEvent(Event::kPlayerJoin, id);
  EXPECT_EQ(s.output(),
            "flaky 1\n"
            "LUA: Error in function 'flaky'\n"
            "LUA: Error in function 'flaky'\n"
            "LUA: Error in function 'flaky'\n");
  std::string errors = s.harness.errors();
  for (const char* message : {"second", "third", "fourth"}) {
    EXPECT_NE(errors.find(message), std::string::npos) << message << " in " << errors;
  }
  EXPECT_EQ(s.harness.session().scripts().errorCount(), 3u);
  EXPECT_EQ(s.events().size(), 50u);
}

// Each event keeps a list of its records: removing records of one event, or
// all of a script's, leaves the others' order as registered, with the
// handlers the host registered for every script among them.
TEST(EventManagerTest, EachEventReachesItsHandlersInOrderAsRecordsComeAndGo) {
  Scripted s(
      "function show(name) return function(id) print(name .. id) end end\n"
      "a, b, c, h, q = show('a'), show('b'), show('c'), show('h'), show('q')\n"
      "addEventHandler('onPlayerJoin', 'a')\n"
      "addEventHandler('onPlayerQuit', 'q')\n"
      "addEventHandler('onPlayerJoin', 'b')\n"
      "addEventHandler('onPlayerQuit', 'q')\n"
      "addEventHandler('onPlayerJoin', 'c')\n");
  EventManager& events = s.events();
  uint64_t owner = s.harness.session().scripts().all().at(0)->id;
  events.addHandler("onPlayerJoin", "h");
  events.fireEvent(Event::kPlayerJoin, 1);
  events.fireEvent(Event::kPlayerQuit, 2, 0);
  EXPECT_EQ(s.output(), "a1\nb1\nc1\nh1\nq2\nq2\n");

  events.removeHandler("onPlayerQuit", "q", owner);
  events.removeHandler("onPlayerJoin", "b", owner);
  events.fireEvent(Event::kPlayerJoin, 3);
  events.fireEvent(Event::kPlayerQuit, 4, 0);
  EXPECT_EQ(s.output(), "a3\nc3\nh3\nq4\n");

  events.removeOwned(owner);
  events.addHandler("onPlayerJoin", "a");
  events.fireEvent(Event::kPlayerJoin, 5);
  events.fireEvent(Event::kPlayerQuit, 6, 0);
  EXPECT_EQ(s.output(), "h5\na5\n");
  events.clear();
  events.fireEvent(Event::kPlayerJoin, 7);
  EXPECT_EQ(s.output(), "");
}

TEST(EventManagerTest, WithoutAScriptFiringHasNoVisibleEffect) {
  SessionHarness harness(std::nullopt);
  harness.output();
  harness.session().events().addHandler("onPlayerJoin", "f");
  harness.session().events().fireEvent(Event::kPlayerJoin, 1);
  EXPECT_EQ(harness.output(), "");
}

TEST(EventManagerTest, FindHandlerMatchesBothNames) {
  SessionHarness harness(std::nullopt);
  EventManager& events = harness.session().events();
  events.addHandler("a", "f");
  events.addHandler("b", "f");
  ASSERT_NE(events.findHandler("b", "f"), nullptr);
  EXPECT_EQ(events.findHandler("b", "f")->eventName, "b");
  EXPECT_EQ(events.findHandler("a", "g"), nullptr);
  events.removeHandler("a", "g");
  EXPECT_EQ(events.size(), 2u);
}

}  // namespace
}  // namespace gsadmin
