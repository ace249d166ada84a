#include "panel/login_throttle.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "support/manual_clock.h"

namespace gsadmin {
namespace {

LoginAttempt stranger(const std::string& name, const std::string& address) {
  return {name, name == "alice", address, std::nullopt};
}

LoginAttempt knownBrowser(const std::string& device) {
  return {"alice", true, "127.0.0.1", device};
}

// How many of `count` tries the throttle lets through now.
size_t letThrough(LoginThrottle& throttle, size_t count, const LoginAttempt& attempt) {
  size_t through = 0;
  for (size_t i = 0; i < count; ++i) through += throttle.reserve(attempt).has_value();
  return through;
}

TEST(LoginThrottleTest, AddressKeys) {
  struct Case {
    const char* address;
    const char* key;
  };
  for (const Case& c : std::vector<Case>{
           {"127.0.0.1", "loopback"},
           {"127.45.6.7", "loopback"},
           {"::1", "loopback"},
           {"::ffff:127.0.0.9", "loopback"},
           {"10.1.2.3", "10.1.2.3"},
           {"::ffff:10.1.2.3", "10.1.2.3"},
           {"2001:db8:1:2:aaaa::1", "2001:0db8:0001:0002::/64"},
           {"2001:db8:1:2:bbbb:cccc:dddd:eeee", "2001:0db8:0001:0002::/64"},
           {"fe80::1%eth0", "fe80:0000:0000:0000::/64"},
           {"not an address", "not an address"},
       }) {
    EXPECT_EQ(addressKey(c.address), c.key) << c.address;
  }
}

TEST(LoginThrottleTest, FiveGuessesAMinutePerAccountFromStrangers) {
  ManualClock clock;
  LoginThrottle throttle(clock);
  // Every address differs, as an attacker with many would send them.
  for (size_t i = 0; i < LoginThrottle::kPerAccount; ++i) {
    EXPECT_TRUE(throttle.reserve(stranger("alice", "10.0.0." + std::to_string(i)))) << i;
    clock.advance(1000);
  }
  EXPECT_FALSE(throttle.reserve(stranger("alice", "10.0.1.1")));
  EXPECT_TRUE(throttle.reserve(stranger("bob", "10.0.1.1"))) << "another name";
  // The first try leaves the window a minute after it was counted.
  clock.advance(LoginThrottle::kWindowMs - 5000);
  EXPECT_TRUE(throttle.reserve(stranger("alice", "10.0.1.2")));
  EXPECT_FALSE(throttle.reserve(stranger("alice", "10.0.1.3")));
}

TEST(LoginThrottleTest, TwentyGuessesAMinutePerAddressWithLoopbackAsOne) {
  ManualClock clock;
  LoginThrottle throttle(clock);
  for (size_t i = 0; i < LoginThrottle::kPerAddress; ++i) {
    std::string name = "user" + std::to_string(i);
    EXPECT_TRUE(throttle.reserve(stranger(name, "127.0.0." + std::to_string(i + 1)))) << i;
  }
  EXPECT_FALSE(throttle.reserve(stranger("other", "127.9.9.9"))) << "all of 127/8 is one";
  EXPECT_FALSE(throttle.reserve(stranger("other", "::1")));
  EXPECT_TRUE(throttle.reserve(stranger("other", "10.0.0.1")));

  for (size_t i = 0; i < LoginThrottle::kPerAddress; ++i) {
    std::string name = "v6user" + std::to_string(i);
    EXPECT_TRUE(throttle.reserve(stranger(name, "2001:db8::" + std::to_string(i + 1)))) << i;
  }
  EXPECT_FALSE(throttle.reserve(stranger("other", "2001:db8::ffff:1"))) << "the same /64";
  EXPECT_TRUE(throttle.reserve(stranger("other", "2001:db8:0:1::1"))) << "the next /64";
}

TEST(LoginThrottleTest, AKnownBrowserHasItsOwnLimitAndIsNeverLockedOutByOthers) {
  ManualClock clock;
  LoginThrottle throttle(clock);
  // Strangers use up the account and the loopback address.
  EXPECT_EQ(letThrough(throttle, 100, stranger("alice", "127.0.0.1")), LoginThrottle::kPerAccount);
  for (int i = 0; i < 30; ++i) throttle.reserve(stranger("x" + std::to_string(i), "127.0.0.1"));
  EXPECT_FALSE(throttle.reserve(stranger("mia", "127.0.0.1"))) << "the address is used up";

  EXPECT_EQ(letThrough(throttle, 100, knownBrowser("laptop")), LoginThrottle::kPerDevice);
  EXPECT_EQ(letThrough(throttle, 1, knownBrowser("desktop")), 1u) << "each browser its own";
  clock.advance(LoginThrottle::kWindowMs);
  EXPECT_EQ(letThrough(throttle, 100, knownBrowser("laptop")), LoginThrottle::kPerDevice);
}

TEST(LoginThrottleTest, ASlotGivenBackCountsNoMore) {
  ManualClock clock;
  LoginThrottle throttle(clock);
  for (size_t i = 0; i < LoginThrottle::kPerAccount - 1; ++i) {
    ASSERT_TRUE(throttle.reserve(stranger("alice", "10.0.0.1")));
  }
  // Right passwords, or tries never checked, leave the count where it was.
  for (int i = 0; i < 10; ++i) {
    std::optional<LoginSlot> slot = throttle.reserve(stranger("alice", "10.0.0.1"));
    ASSERT_TRUE(slot) << i;
    throttle.giveBack(*slot);
    clock.advance(1);
  }
  std::optional<LoginSlot> device = throttle.reserve(knownBrowser("laptop"));
  ASSERT_TRUE(device);
  throttle.giveBack(*device);
  EXPECT_EQ(letThrough(throttle, 10, knownBrowser("laptop")), LoginThrottle::kPerDevice);
  EXPECT_EQ(letThrough(throttle, 10, stranger("alice", "10.0.0.1")), 1u);
}

TEST(LoginThrottleTest, ParallelTriesNeverPassTheLimit) {
  SystemClock clock;
  LoginThrottle throttle(clock);
  std::atomic<size_t> through{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t]() {
      for (int i = 0; i < 25; ++i) {
        through += throttle.reserve(stranger("alice", "10.0." + std::to_string(t) + ".1")) ? 1 : 0;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(through, LoginThrottle::kPerAccount);
}

TEST(LoginThrottleTest, ManyNamesAndAddressesStayWithinTheKeyBound) {
  ManualClock clock;
  LoginThrottle throttle(clock);
  // More names and addresses than remembered, all within one minute: the
  // ones past the bound share one window, so they soon count as used up.
  size_t through = 0;
  for (size_t i = 0; i < LoginThrottle::kMaxKeys + 200; ++i) {
    std::string n = std::to_string(i);
    through += throttle.reserve(stranger("name" + n, "10." + n + ".0.0")).has_value();
  }
  EXPECT_LT(through, LoginThrottle::kMaxKeys + 20);
  EXPECT_TRUE(throttle.reserve(stranger("alice", "10.200.0.1"))) << "accounts are apart";
  // A minute later the old keys make room again.
  clock.advance(LoginThrottle::kWindowMs);
  EXPECT_TRUE(throttle.reserve(stranger("fresh", "192.0.2.1")));
}

}  // namespace
}  // namespace gsadmin
