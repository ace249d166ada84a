// The ban message a banned player gets, at the ban and at every refused
// join: the ban's number when known, and where to appeal when set.

#include "moderation/moderation_texts.h"

#include <gtest/gtest.h>

namespace gsadmin {
namespace {

constexpr int64_t kNow = 1796731200;  // 2026-12-08 12:00 UTC

TEST(BanMessageTest, SaysTheNumberTheEndTheReasonAndWhereToAppeal) {
  struct Case {
    int64_t id;
    std::optional<int64_t> until;
    std::string reason;
    std::string appealUrl;
    std::string message;
  };
  const Case cases[] = {
      {123, kNow + 36 * 3600, "grief", "",
       "You are banned (#123) until 2026-12-10 00:00 UTC (1d12h left): grief"},
      {7, std::nullopt, "", "", "You are banned (#7) permanently: no reason given"},
      {7, std::nullopt, "cheat", "https://example.org/appeal",
       "You are banned (#7) permanently: cheat, appeal at https://example.org/appeal"},
      // Not written yet (a shared database away): no number to give.
      {0, kNow + 60, "flood", "", "You are banned until 2026-12-08 12:01 UTC (1m left): flood"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(banMessage(c.id, c.until, kNow, c.reason, c.appealUrl), c.message);
  }
}

}  // namespace
}  // namespace gsadmin
