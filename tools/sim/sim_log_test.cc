// The simulator's log stamps: the scenario time, or the wall clock's
// seconds since the epoch when asked (--epoch-stamps).

#include "sim_log.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>

#include "options.h"
#include "support/manual_clock.h"

namespace gsadmin::sim {
namespace {

TEST(SimLogTest, LinesCarryTheScenarioTimeOrADashBeforeIt) {
  ManualClock clock;
  SimLog log(clock, nullptr);
  log.line("before");
  log.startRound(clock.nowMs(), 2.0);
  clock.advance(1500);
  log.line("Bob joins (id 1)");
  ASSERT_EQ(log.kept().size(), 2u);
  EXPECT_EQ(log.kept()[0], "      - before");
  EXPECT_EQ(log.kept()[1], "    3.0 Bob joins (id 1)");
}

TEST(SimLogTest, EpochStampsAreTheWallClockToTheMicrosecond) {
  ManualClock clock;
  SimLog log(clock, nullptr);
  log.stampWithEpoch();
  auto before = std::chrono::system_clock::now();
  log.line("Bob says: hi");
  auto after = std::chrono::system_clock::now();
  ASSERT_EQ(log.kept().size(), 1u);
  std::smatch stamp;
  ASSERT_TRUE(std::regex_match(log.kept()[0], stamp, std::regex(R"((\d+)\.(\d{6}) Bob says: hi)")))
      << log.kept()[0];
  long long us = std::stoll(stamp[1]) * 1000000 + std::stoll(stamp[2]);
  auto since = [](auto moment) {
    return std::chrono::duration_cast<std::chrono::microseconds>(moment.time_since_epoch()).count();
  };
  EXPECT_GE(us, since(before));
  EXPECT_LE(us, since(after));
}

TEST(SimLogTest, EpochStampsAreAFlagWithoutAValue) {
  struct Case {
    std::vector<const char*> argv;
    bool parsed;
    bool epoch;
  };
  const Case cases[] = {
      {{"gsadmin-sim"}, true, false},
      {{"gsadmin-sim", "--epoch-stamps"}, true, true},
      {{"gsadmin-sim", "--epoch-stamps=1"}, false, false},
  };
  for (const Case& c : cases) {
    std::string error;
    std::optional<SimOptions> options =
        parseOptions(static_cast<int>(c.argv.size()), c.argv.data(), &error);
    ASSERT_EQ(options.has_value(), c.parsed) << c.argv.size() << " " << error;
    if (options) {
      EXPECT_EQ(options->epochStamps, c.epoch);
    }
  }
}

}  // namespace
}  // namespace gsadmin::sim
