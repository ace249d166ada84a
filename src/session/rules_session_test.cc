// The rules and the schedule inside a session with a hand-driven clock: a
// countdown and its moment at the right seconds, a clock set back firing
// nothing again, and the console's .rules with a reload that keeps the
// rules in force when the file is bad.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

#include "session/admin_session.h"
#include "support/client_process.h"
#include "support/manual_clock.h"
#include "support/recording_console.h"

namespace gsadmin {
namespace {

using testing::RecordingConsole;
using testing::RecordingSink;
using testing::TempDir;

// The manual clock's wall time is 2026-12-08 12:00:00 UTC at 0 ms.
constexpr uint64_t kMinuteMs = 60000;

const char kSchedule[] = R"([[schedule]]
name = "restart"
at = "5 12 * * *"
chat = "Restart"
warn = ["2m", "1m"]
)";

const char kRules[] = R"([[rule]]
name = "language"
kind = "words"
words = ["badword"]
acts = ["warn"]
)";

struct RulesSession {
  explicit RulesSession(bool withRules) {
    std::string error;
    SessionIo io;
    auto console = std::make_unique<RecordingConsole>();
    recorded = console.get();
    io.console = std::move(console);
    io.sink = &sink;
    io.scriptPaths = {dir.path() + "/script.lua"};
    io.schedule = parseScheduleSet(kSchedule, "s.toml", &error);
    EXPECT_TRUE(io.schedule) << error;
    if (withRules) {
      dir.write("rules.toml", kRules);
      io.rules = loadRuleSet(dir.path() + "/rules.toml", &error);
      EXPECT_TRUE(io.rules) << error;
    }
    SessionSettings settings;
    settings.serverIP = "127.0.0.1";
    settings.serverPort = 1;
    settings.moderation.enabled = false;
    session = std::make_unique<AdminSession>(settings, clock, std::move(io));
    EXPECT_TRUE(session->start());
    recorded->takeOutput();
  }

  // The console lines of the schedule after moving to `ms` and polling.
  std::string at(uint64_t ms) {
    clock.set(ms);
    session->poll();
    std::string lines;
    std::string output = recorded->takeOutput();
    for (size_t start = 0; start < output.size();) {
      size_t end = output.find('\n', start);
      std::string line = output.substr(start, end - start);
      if (line.starts_with("* schedule:")) lines += line + "\n";
      start = end + 1;
    }
    return lines;
  }

  TempDir dir;
  ManualClock clock;
  RecordingSink sink;
  RecordingConsole* recorded = nullptr;
  std::unique_ptr<AdminSession> session;
};

TEST(RulesSessionTest, TheScheduleCountsDownAndFiresAtItsSecondsAndNeverTwice) {
  RulesSession s(false);
  EXPECT_EQ(s.at(3 * kMinuteMs - 1000), "");
  EXPECT_EQ(s.at(3 * kMinuteMs), "* schedule:restart chat: Restart in 2 minutes\n");
  EXPECT_EQ(s.at(4 * kMinuteMs - 1), "");
  EXPECT_EQ(s.at(4 * kMinuteMs), "* schedule:restart chat: Restart in 1 minute\n");
  EXPECT_EQ(s.at(5 * kMinuteMs), "* schedule:restart chat: Restart\n");
  // The wall clock set back three minutes, then on again: nothing twice.
  EXPECT_EQ(s.at(2 * kMinuteMs), "");
  EXPECT_EQ(s.at(6 * kMinuteMs), "");
  EXPECT_EQ(s.at(24 * 60 * kMinuteMs + 3 * kMinuteMs),
            "* schedule:restart chat: Restart in 2 minutes\n");
}

TEST(RulesSessionTest, RulesAreListedAndABadReloadKeepsThoseInForce) {
  RulesSession s(true);
  s.session->handleTypedLine(".rules");
  std::string listing = s.recorded->takeOutput();
  EXPECT_NE(listing.find("* language (words): warn; 0 match(es) in the last hour\n"),
            std::string::npos)
      << listing;

  s.dir.write("rules.toml", "[[rule]]\nname = \"x\"\nkind = \"nope\"\n");
  s.session->handleTypedLine(".rules reload");
  EXPECT_EQ(s.recorded->takeOutput(),
            "* .rules reload: " + s.dir.path() +
                "/rules.toml:3: unknown kind \"nope\": flood, repeat, words, teamkill, streak or "
                "name; the rules in force stay\n");
  s.session->reloadRules();  // as a SIGHUP does
  EXPECT_NE(s.recorded->takeOutput().find("; the rules in force stay\n"), std::string::npos);
  s.session->handleTypedLine(".rules");
  EXPECT_NE(s.recorded->takeOutput().find("* language (words)"), std::string::npos);

  s.dir.write("rules.toml",
              "[[rule]]\nname = \"calm\"\nkind = \"flood\"\nlines = 9\nseconds = 9\n"
              "acts = [\"kick\"]\nlater = 1\n");
  s.session->reloadRules();
  std::string ignored = s.dir.path() + "/rules.toml:7: unknown key \"later\" ignored\n";
  EXPECT_EQ(s.recorded->takeOutput(), "RULES: reloaded\nRULES: " + ignored);
  s.session->handleTypedLine(".rules");
  listing = s.recorded->takeOutput();
  EXPECT_NE(listing.find("* calm (flood): kick; 0 match(es)"), std::string::npos);
  EXPECT_NE(listing.find("* " + ignored), std::string::npos) << listing;
}

TEST(RulesSessionTest, WithoutRulesTheConsoleSaysHowToHaveThem) {
  RulesSession s(false);
  s.session->handleTypedLine(".rules");
  EXPECT_EQ(s.recorded->takeOutput(), "* .rules: no rules: start with --rules=FILE\n");
}

}  // namespace
}  // namespace gsadmin
