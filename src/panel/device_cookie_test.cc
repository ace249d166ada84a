#include "panel/device_cookie.h"

#include <gtest/gtest.h>

#include <vector>

namespace gsadmin {
namespace {

constexpr int64_t kNow = 1796731200;

TEST(DeviceCookiesTest, ACookieNamesOneBrowserOfOneAccountFor90Days) {
  DeviceCookies cookies;
  std::optional<std::string> value = cookies.issue("alice", kNow);
  ASSERT_TRUE(value);
  std::optional<std::string> device = cookies.deviceOf(*value, "alice", kNow);
  ASSERT_TRUE(device);
  EXPECT_EQ(value->substr(0, device->size()), *device);
  EXPECT_TRUE(cookies.deviceOf(*value, "alice", kNow + DeviceCookies::kLifetimeSeconds - 1));
  EXPECT_FALSE(cookies.deviceOf(*value, "alice", kNow + DeviceCookies::kLifetimeSeconds))
      << "expired";
  EXPECT_NE(cookies.deviceOf(*cookies.issue("alice", kNow), "alice", kNow), device)
      << "each browser its own id";
}

TEST(DeviceCookiesTest, OnlyAnUntouchedCookieOfThisProcessForTheSameNamePasses) {
  DeviceCookies cookies;
  std::string value = *cookies.issue("alice", kNow);
  size_t lastDot = value.rfind('.');
  std::string later = value;
  later.replace(value.find('.') + 1, lastDot - value.find('.') - 1,
                std::to_string(kNow + 10 * DeviceCookies::kLifetimeSeconds));
  std::string otherId = value;
  otherId[0] = otherId[0] == 'a' ? 'b' : 'a';
  std::string otherMac = value;
  otherMac.back() = otherMac.back() == '0' ? '1' : '0';
  for (const std::string& bad : std::vector<std::string>{
           later, otherId, otherMac, value + "0", value.substr(1), "", "...", "a.b.c",
           value.substr(0, lastDot) + "." + std::string(64, 'g'), std::string(200, '.')}) {
    EXPECT_FALSE(cookies.deviceOf(bad, "alice", kNow)) << bad;
  }
  EXPECT_FALSE(cookies.deviceOf(value, "alicE", kNow)) << "another account";
  EXPECT_FALSE(cookies.deviceOf(value, "alice.", kNow));
  EXPECT_FALSE(DeviceCookies().deviceOf(value, "alice", kNow)) << "another process's key";
}

}  // namespace
}  // namespace gsadmin
