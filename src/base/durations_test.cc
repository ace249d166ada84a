#include "base/durations.h"

#include <gtest/gtest.h>

namespace gsadmin {
namespace {

TEST(DurationsTest, ReadsUnitsAndCombinations) {
  const struct {
    const char* text;
    std::optional<int64_t> seconds;
  } kCases[] = {
      {"30m", 1800},
      {"2h", 7200},
      {"7d", 7 * 86400},
      {"2w", 14 * 86400},
      {"1d12h", 86400 + 12 * 3600},
      {"90s", 90},
      {"12h1d", 86400 + 12 * 3600},
      {"3650d", 3650LL * 86400},
      {"3651d", std::nullopt},  // over ten years
      {"99999999999999999999d", std::nullopt},
      {"0m", std::nullopt},
      {"", std::nullopt},
      {"5", std::nullopt},
      {"h", std::nullopt},
      {"5x", std::nullopt},
      {"-5m", std::nullopt},
      {"1d 2h", std::nullopt},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(parseDuration(c.text), c.seconds) << c.text;
  }
}

TEST(DurationsTest, WritesWhatItReads) {
  EXPECT_EQ(formatDuration(86400 + 12 * 3600), "1d12h");
  EXPECT_EQ(formatDuration(14 * 86400), "14d");
  EXPECT_EQ(formatDuration(3661), "1h1m1s");
  EXPECT_EQ(formatDuration(0), "0s");
  for (int64_t seconds :
       {int64_t{1}, int64_t{59}, int64_t{3600}, int64_t{90061}, kMaxDurationSeconds}) {
    EXPECT_EQ(parseDuration(formatDuration(seconds)), seconds);
  }
}

TEST(DurationsTest, WritesMomentsInUtc) {
  EXPECT_EQ(formatUtcTime(0), "1970-01-01 00:00 UTC");
  EXPECT_EQ(formatUtcTime(1796731200), "2026-12-08 12:00 UTC");
}

}  // namespace
}  // namespace gsadmin
