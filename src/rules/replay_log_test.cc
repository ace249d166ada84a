#include "rules/replay_log.h"

#include <gtest/gtest.h>

#include <ctime>

namespace gsadmin {
namespace {

std::string describe(const std::optional<RuleEvent>& event) {
  if (!event) return "-";
  const char* kinds[] = {"chat", "kill", "join"};
  return std::string(kinds[static_cast<int>(event->kind)]) + " " + event->player + "|" +
         event->victim + "|" + event->text;
}

TEST(ReplayLogTest, ReadsChatKillsAndJoinsAndNothingElse) {
  const struct {
    const char* line;
    const char* read;
  } kLines[] = {
      {"[2026-12-07 14:03:22] Ann has joined the game (ID: 3)", "join Ann||"},
      {"[2026-12-07 14:03:23] Ann: hi: there", "chat Ann||hi: there"},
      {"[2026-12-07 14:03:23] Ann: I killed Bo", "chat Ann||I killed Bo"},
      {"[2026-12-07 14:03:24] Ann to Bo: psst", "chat Ann||psst"},
      {"[2026-12-07 14:03:25] Ann killed Bo (M4)", "kill Ann|Bo|"},
      {"[2026-12-07 14:03:25] Ann killed Cy", "kill Ann|Cy|"},
      {"[2026-12-07 14:03:26] Ann killed himself (M4)", "-"},
      {"[2026-12-07 14:03:26] Bo killed by Admin", "-"},
      {"[2026-12-07 14:03:26] Old Timer: here before the login",
       "chat Old Timer||here before the login"},
      {"[2026-12-07 14:03:27] * rule:flood warned Ann (1 active): x", "-"},
      {"[2026-12-07 14:03:27] RULE flood: warn Ann (x)", "-"},
      {"[2026-12-07 14:03:27] ADMIN: hello", "-"},
      {"[2026-12-07 14:03:27] Successfully connected! 'S' (Players: 2/32)", "-"},
      {"[2026-12-07 14:03:28] Ann has left the game", "-"},
      {"Ann: no stamp", "-"},
      {"[2026-12-07 14:3:28] Ann: bad stamp", "-"},
  };
  ReplayLog log;
  for (const auto& c : kLines) EXPECT_EQ(describe(log.read(c.line)), c.read) << c.line;
}

TEST(ReplayLogTest, StampsAreLocalTime) {
  std::string_view rest;
  std::optional<int64_t> at = readStamp("[2026-12-07 14:03:22] x", &rest);
  ASSERT_TRUE(at);
  std::tm when{};
  std::time_t seconds = static_cast<std::time_t>(*at);
  localtime_r(&seconds, &when);
  EXPECT_EQ(when.tm_hour, 14);
  EXPECT_EQ(when.tm_sec, 22);
  EXPECT_EQ(rest, "x");
}

}  // namespace
}  // namespace gsadmin
