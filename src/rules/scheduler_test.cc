#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rules/schedule.h"

namespace gsadmin {
namespace {

int64_t utc(int64_t year, unsigned month, unsigned day, int hour, int minute, int second = 0) {
  return daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

std::optional<ScheduleSet> setOf(const std::string& text, std::string* error) {
  return parseScheduleSet(text, "s.toml", error);
}

// What fired, one line each: "UTC-moment text" in due order, as the loop
// would carry them out reading the wall clock at each of `readings`.
std::vector<std::string> run(Scheduler& scheduler, const std::vector<int64_t>& readings) {
  std::vector<std::string> fired;
  for (int64_t now : readings) {
    for (const Firing& firing : scheduler.due(now)) {
      fired.push_back(std::to_string(firing.at) + " " + firing.text(scheduler.set()));
    }
  }
  return fired;
}

// A reading each second from `from` to `to`.
std::vector<int64_t> seconds(int64_t from, int64_t to) {
  std::vector<int64_t> readings;
  for (int64_t at = from; at <= to; ++at) readings.push_back(at);
  return readings;
}

const char kRestart[] = R"([[schedule]]
name = "restart-warning"
at = "0 3 * * *"
zone = "Europe/Berlin"
chat = "Restart"
warn = ["15m", "5m", "1m"]

[[schedule]]
name = "skipped"
at = "30 2 * * *"
zone = "Europe/Berlin"
admins = "Half past two"
)";

TEST(SchedulerTest, CountsDownAndFiresAtTheRightSecondsAcrossTheSpringChange) {
  std::string error;
  std::optional<ScheduleSet> set = setOf(kRestart, &error);
  if (!set && error.find("no zone") != std::string::npos) GTEST_SKIP() << error;
  ASSERT_TRUE(set) << error;
  Scheduler scheduler(std::move(*set), utc(2026, 3, 28, 12, 0));
  // 03:00 on 29 March is 01:00 UTC, the moment the clocks jump from 02:00;
  // 02:30 does not exist that day and is shown at the jump.
  int64_t jump = utc(2026, 3, 29, 1, 0);
  EXPECT_EQ(run(scheduler, seconds(utc(2026, 3, 28, 12, 0), utc(2026, 3, 30, 2, 0))),
            (std::vector<std::string>{
                std::to_string(jump - 900) + " Restart in 15 minutes",
                std::to_string(jump - 300) + " Restart in 5 minutes",
                std::to_string(jump - 60) + " Restart in 1 minute",
                std::to_string(jump) + " Restart",
                std::to_string(jump) + " Half past two",
                std::to_string(utc(2026, 3, 30, 0, 30)) + " Half past two",
                std::to_string(utc(2026, 3, 30, 0, 45)) + " Restart in 15 minutes",
                std::to_string(utc(2026, 3, 30, 0, 55)) + " Restart in 5 minutes",
                std::to_string(utc(2026, 3, 30, 0, 59)) + " Restart in 1 minute",
                std::to_string(utc(2026, 3, 30, 1, 0)) + " Restart",
            }));
}

TEST(SchedulerTest, TheRepeatedAutumnHourFiresOnceAndAClockSetBackFiresNothingAgain) {
  std::string error;
  std::optional<ScheduleSet> set = setOf(kRestart, &error);
  if (!set && error.find("no zone") != std::string::npos) GTEST_SKIP() << error;
  ASSERT_TRUE(set) << error;
  Scheduler scheduler(std::move(*set), utc(2026, 10, 24, 23, 0));
  // The wall clock runs to 01:30 UTC, is set back an hour, and runs on.
  std::vector<int64_t> readings = seconds(utc(2026, 10, 24, 23, 0), utc(2026, 10, 25, 1, 30));
  for (int64_t at : seconds(utc(2026, 10, 25, 0, 30), utc(2026, 10, 25, 2, 30))) {
    readings.push_back(at);
  }
  // 02:30 CEST is 00:30 UTC; 02:30 CET an hour later is not shown again.
  // 03:00 CET is 02:00 UTC.
  EXPECT_EQ(run(scheduler, readings),
            (std::vector<std::string>{
                std::to_string(utc(2026, 10, 25, 0, 30)) + " Half past two",
                std::to_string(utc(2026, 10, 25, 1, 45)) + " Restart in 15 minutes",
                std::to_string(utc(2026, 10, 25, 1, 55)) + " Restart in 5 minutes",
                std::to_string(utc(2026, 10, 25, 1, 59)) + " Restart in 1 minute",
                std::to_string(utc(2026, 10, 25, 2, 0)) + " Restart",
            }));
}

TEST(SchedulerTest, AClockSetForwardCatchesUpOnceWithoutLateCountdowns) {
  std::string error;
  std::optional<ScheduleSet> set = setOf(kRestart, &error);
  if (!set && error.find("no zone") != std::string::npos) GTEST_SKIP() << error;
  ASSERT_TRUE(set) << error;
  Scheduler scheduler(std::move(*set), utc(2026, 12, 9, 0, 0));
  // From 01:50 UTC straight to 03:00: the 5- and 1-minute steps are late,
  // the moment (02:00 UTC) fires once.
  EXPECT_EQ(run(scheduler, {utc(2026, 12, 9, 1, 50), utc(2026, 12, 9, 3, 0), utc(2026, 12, 9, 3, 0),
                            utc(2026, 12, 9, 3, 1)}),
            (std::vector<std::string>{
                std::to_string(utc(2026, 12, 9, 1, 30)) + " Half past two",
                std::to_string(utc(2026, 12, 9, 1, 45)) + " Restart in 15 minutes",
                std::to_string(utc(2026, 12, 9, 2, 0)) + " Restart",
            }));
  EXPECT_EQ(scheduler.nextAt(), utc(2026, 12, 10, 1, 30));
}

TEST(SchedulerTest, RefusesBadEntriesWithTheirLine) {
  const struct {
    const char* text;
    const char* error;
  } kCases[] = {
      {"[[schedule]]\nname = \"a\"\nat = \"* * * * *\"\nchat = \"x\"\n",
       "s.toml:3: \"* * * * *\" fires every minute: say every_minute = true if meant"},
      {"[[schedule]]\nname = \"a\"\nat = \"0 4 30 2 *\"\nchat = \"x\"\n",
       "s.toml:3: \"0 4 30 2 *\" names no day that exists"},
      {"[[schedule]]\nname = \"a\"\nat = \"0 4 * *\"\nchat = \"x\"\n",
       "s.toml:3: five fields are needed: minute hour day month weekday"},
      {"[[schedule]]\nname = \"a\"\nat = \"0 4 * * *\"\n",
       "s.toml:1: one of \"chat\", \"admins\", \"command\" or \"call\" is needed"},
      {"[[schedule]]\nname = \"a\"\nat = \"0 4 * * *\"\nchat = \"x\"\nadmins = \"y\"\n",
       "s.toml:1: one of \"chat\", \"admins\", \"command\" or \"call\" is needed"},
      {"[[schedule]]\nname = \"a\"\nat = \"0 4 * * *\"\nchat = \"x\"\nzone = \"Mars/Olympus\"\n",
       "s.toml:5: no zone \"Mars/Olympus\""},
      {"[[schedule]]\nname = \"a\"\nat = \"0 4 * * *\"\ncommand = \"kick x\"\n",
       "s.toml:4: a command is a console line"},
      {"[[schedule]]\nname = \"a\"\nat = \"0 4 * * *\"\ncall = \"x.y\"\nwarn = [\"5m\"]\n",
       "s.toml:5: a countdown needs a \"chat\" or \"admins\" text to say"},
      {"[[schedule]]\nname = \"a\"\nat = \"0 4 * * *\"\nchat = \"x\"\nwarn = [\"soon\"]\n",
       "s.toml:5: \"warn\" needs durations"},
  };
  for (const auto& c : kCases) {
    std::string error;
    EXPECT_FALSE(setOf(c.text, &error)) << c.text;
    EXPECT_TRUE(error.starts_with(c.error)) << error;
  }
  std::string error;
  EXPECT_TRUE(
      setOf("[[schedule]]\nname = \"a\"\nat = \"* * * * *\"\nevery_minute = true\n"
            "command = \".kick Bob\"\n",
            &error))
      << error;
}

TEST(SchedulerTest, TheExampleFileLoads) {
  std::string error;
  std::optional<ScheduleSet> set =
      loadScheduleSet(GSADMIN_SOURCE_DIR "/examples/schedule.toml", &error);
  if (!set && error.find("no zone") != std::string::npos) GTEST_SKIP() << error;
  ASSERT_TRUE(set) << error;
  EXPECT_GE(set->entries.size(), 3u);
}

}  // namespace
}  // namespace gsadmin

namespace gsadmin {
namespace {

std::string entries(size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    text +=
        "[[schedule]]\nname = \"e" + std::to_string(i) + "\"\nat = \"0 4 * * *\"\nchat = \"x\"\n";
  }
  return text;
}

TEST(SchedulerTest, HostileFilesAreRefusedCleanly) {
  std::string error;
  EXPECT_TRUE(setOf(entries(kMaxScheduleEntries), &error)) << error;
  EXPECT_FALSE(setOf(entries(kMaxScheduleEntries + 1), &error));
  EXPECT_EQ(error, "s.toml:40001: more than 10000 [[schedule]] tables");
  EXPECT_FALSE(setOf("# " + std::string(kMaxScheduleFileBytes, 'x'), &error));
  EXPECT_EQ(error, "s.toml: over 2048 KiB");
  EXPECT_FALSE(setOf("a = " + std::string(50000, '{'), &error));
  EXPECT_TRUE(error.starts_with("s.toml:1: ")) << error;
  EXPECT_FALSE(setOf(
      "[[schedule]]\nname = \"a\"\nat = \"" + std::string(1000, '1') + " * * * *\"\nchat = \"x\"\n",
      &error));
  EXPECT_TRUE(error.starts_with("s.toml:3: ")) << error;
}

}  // namespace
}  // namespace gsadmin
