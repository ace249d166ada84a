#include "console/timestamp.h"

#include <gtest/gtest.h>

namespace gsadmin {
namespace {

TEST(TimestampTest, FormatsTheLocalTimePrefix) {
  std::tm when{};
  when.tm_year = 2026 - 1900;
  when.tm_mon = 11;
  when.tm_mday = 7;
  when.tm_hour = 14;
  when.tm_min = 3;
  when.tm_sec = 22;
  EXPECT_EQ(formatTimestampPrefix(when), "[2026-12-07 14:03:22] ");
  when = std::tm{};
  when.tm_year = 70;
  when.tm_mday = 1;
  EXPECT_EQ(formatTimestampPrefix(when), "[1970-01-01 00:00:00] ");
}

}  // namespace
}  // namespace gsadmin
