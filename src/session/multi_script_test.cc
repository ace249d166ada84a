// Several scripts in one session: handlers, timers and console commands
// belong to the script that made them.

#include <gtest/gtest.h>

#include "session/admin_session.h"
#include "support/client_process.h"
#include "support/manual_clock.h"
#include "support/recording_console.h"

namespace gsadmin::testing {
namespace {

using Sources = std::vector<std::pair<std::string, std::string>>;

// A started session over in-memory datagrams with the scripts `sources`
// (name, text), written into a temporary directory and loaded in order.
class TwoScripts {
 public:
  explicit TwoScripts(const Sources& sources) {
    SessionIo io;
    auto console = std::make_unique<RecordingConsole>();
    console_ = console.get();
    io.console = std::move(console);
    io.sink = &sink_;
    io.scriptPaths.clear();
    for (const auto& [name, text] : sources) {
      dir_.write(name, text);
      io.scriptPaths.push_back(dir_.path() + "/" + name);
    }
    session_ = std::make_unique<AdminSession>(SessionSettings(), clock_, std::move(io));
    EXPECT_TRUE(session_->start());
  }
  AdminSession& session() { return *session_; }
  Script& script(size_t index) { return *session_->scripts().all().at(index); }
  std::string output() { return console_->takeOutput(); }
  std::string errors() { return console_->takeErrors(); }
  ManualClock& clock() { return clock_; }

 private:
  TempDir dir_;
  ManualClock clock_;
  RecordingSink sink_;
  RecordingConsole* console_ = nullptr;
  std::unique_ptr<AdminSession> session_;
};

const char kFirst[] =
    "addEventHandler('onConnect', 'f')\n"
    "function f() print('first f') end\n"
    "function t() print('first t') end\n"
    "function g() print('first g') end\n"
    "print('first timer', setTimer('t', 10, 1))\n";
const char kSecond[] =
    "function f() print('second f') end\n"
    "function t() print('second t') end\n"
    "addEventHandler('onConnect', 'g')\n"
    "function g() print('second g') end\n"
    "print('second kills', killTimer(1))\n"
    "removeEventHandler('onConnect', 'f')\n"
    "setTimer('t', 5, 0)\n"
    "error('second fails late')\n";

TEST(MultiScriptTest, HandlersAndTimersBelongToTheirScript) {
  TwoScripts s({{"first.lua", kFirst}, {"second.lua", kSecond}});
  s.output();
  s.errors();
  // The second's main chunk failed after registering: none of it is called.
  s.session().events().fireEvent(Event::kConnect);
  EXPECT_EQ(s.output(), "first f\n");
  s.clock().advance(10);
  s.session().poll();
  EXPECT_EQ(s.output().find("first t\n") != std::string::npos, true);
  EXPECT_EQ(s.session().scripts().size(), 1u);
  EXPECT_EQ(s.session().timers().size(), 0u);
}

TEST(MultiScriptTest, EventsReachScriptsInLoadOrderAndEachOnlyItsOwnHandlers) {
  TwoScripts s({{"first.lua", kFirst},
                {"second.lua",
                 "addEventHandler('onConnect', 'g')\n"
                 "function g() print('second g') end\n"
                 "function f() print('second f') end\n"
                 "print('second kills', killTimer(1))\n"}});
  EXPECT_EQ(s.output(),
            "first timer\t1\n"
            "LUA: Script '" +
                s.script(0).name +
                "' loaded.\n"
                "second kills\tfalse\n"
                "LUA: Script '" +
                s.script(1).name + "' loaded.\n");
  s.session().events().fireEvent(Event::kConnect);
  EXPECT_EQ(s.output(), "first f\nsecond g\n");

  // Unloading the first drops its handler and timer; the second goes on.
  s.session().handleTypedLine(".unload " + s.script(0).name);
  EXPECT_EQ(s.session().events().countOwned(s.script(0).id), 0u);
  EXPECT_EQ(s.session().timers().size(), 0u);
  s.output();
  s.session().events().fireEvent(Event::kConnect);
  EXPECT_EQ(s.output(), "second g\n");

  // A full reload leaves the stopped one stopped.
  EXPECT_EQ(s.session().reloadScript(), 1u);
  EXPECT_EQ(s.script(0).status, ScriptStatus::kStopped);
  EXPECT_TRUE(s.script(1).loaded());
}

// A script's handlers registered before and after another's are all its
// own, in their order, and only its own.
TEST(MultiScriptTest, HandlersRegisteredBetweenAnothersStayInOrder) {
  TwoScripts s({{"first.lua",
                 "addEventHandler('onConnect', 'f')\n"
                 "function f() print('first f') end\n"
                 "function h() print('first h') end\n"},
                {"second.lua",
                 "addEventHandler('onConnect', 'g')\n"
                 "function g() print('second g') end\n"
                 "function h() print('second h') end\n"}});
  s.output();
  s.session().handleTypedLine(".lua @" + s.script(0).name + " addEventHandler('onConnect', 'h')");
  s.session().handleTypedLine(".lua @" + s.script(1).name + " addEventHandler('onConnect', 'h')");
  s.output();
  s.session().events().fireEvent(Event::kConnect);
  EXPECT_EQ(s.output(), "first f\nfirst h\nsecond g\nsecond h\n");
}

TEST(MultiScriptTest, ErrorDetailsNameTheirScriptOnlyBesideAnother) {
  TwoScripts one(Sources{{"only.lua",
                          "function bad() error('oops') end\n"
                          "addEventHandler('onConnect', 'bad')\n"}});
  one.errors();
  one.session().events().fireEvent(Event::kConnect);
  EXPECT_EQ(one.errors().find("only.lua: "), std::string::npos);

  TwoScripts two({{"a.lua",
                   "function bad() error('oops') end\n"
                   "addEventHandler('onConnect', 'bad')\n"},
                  {"b.lua", ""}});
  two.errors();
  two.session().events().fireEvent(Event::kConnect);
  std::string errors = two.errors();
  EXPECT_EQ(errors.rfind(two.script(0).name + ": ", 0), 0u) << errors;
  EXPECT_NE(two.script(0).lastError.find("oops"), std::string::npos);
}

TEST(MultiScriptTest, ANameIsLoadedOnce) {
  TwoScripts s({{"same.lua", "print('once')\n"}, {"same.lua", "print('once')\n"}});
  std::string name = s.script(0).name;
  EXPECT_EQ(s.output(), "once\nLUA: Script '" + name + "' loaded.\nLUA: Unable to load script '" +
                            name + "'\n");
  EXPECT_EQ(s.errors(), name + ": another script has this name\n");
  EXPECT_EQ(s.session().scripts().all().size(), 1u);
}

TEST(MultiScriptTest, AddConsoleCommandRefusesBadArguments) {
  TwoScripts s(Sources{{"c.lua",
                        "addConsoleCommand('a b', 'f', '')\n"
                        "addConsoleCommand(nil, 'f')\n"
                        "addConsoleCommand('w', {})\n"
                        "addConsoleCommand('w', 'f', {})\n"
                        "addConsoleCommand('help', 'f', '')\n"
                        "print(addConsoleCommand('w', 'f'))\n"
                        "function f(rest) print('w:' .. rest) end\n"}});
  EXPECT_EQ(s.output(),
            "addConsoleCommand: Invalid argument #1.\n"
            "addConsoleCommand: Invalid argument #1.\n"
            "addConsoleCommand: Invalid argument #2.\n"
            "addConsoleCommand: Invalid argument #3.\n"
            "addConsoleCommand: .help is a built-in command.\n"
            "\n"
            "LUA: Script '" +
                s.script(0).name + "' loaded.\n");
  s.session().handleTypedLine(".w one two");
  EXPECT_EQ(s.output(), "w:one two\n");
}

}  // namespace
}  // namespace gsadmin::testing
