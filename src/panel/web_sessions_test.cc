#include "panel/web_sessions.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "support/manual_clock.h"

namespace gsadmin {
namespace {

TEST(WebSessionsTest, RandomTokensExpireAfterTwelveHoursIdle) {
  ManualClock clock;
  WebSessions sessions(clock);
  std::optional<WebLogin> login = sessions.create("alice", 2);
  ASSERT_TRUE(login);
  EXPECT_EQ(login->token.size(), 64u);
  EXPECT_EQ(login->csrf.size(), 64u);
  EXPECT_NE(login->token, login->csrf);
  EXPECT_NE(sessions.create("alice", 2)->token, login->token);

  EXPECT_FALSE(sessions.find("nope"));
  clock.advance(WebSessions::kIdleMs - 1);
  ASSERT_TRUE(sessions.find(login->token)) << "still within 12 h";
  // The use renewed it: another 12 h from now.
  clock.advance(WebSessions::kIdleMs - 1);
  std::optional<WebLogin> found = sessions.find(login->token);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->name, "alice");
  EXPECT_EQ(found->level, 2);
  EXPECT_EQ(found->csrf, login->csrf);
  clock.advance(WebSessions::kIdleMs);
  EXPECT_FALSE(sessions.find(login->token)) << "12 h idle";

  std::optional<WebLogin> other = sessions.create("bob", 1);
  sessions.remove(other->token);
  EXPECT_FALSE(sessions.find(other->token)) << "logged out";
}

TEST(WebSessionsTest, ALoginUsedByManyThreadsAtOnceStays) {
  // Each thread's moment must never be older than one another stored, or
  // the idle time would wrap round and end a login in use.
  SystemClock clock;
  WebSessions sessions(clock);
  std::string token = sessions.create("alice", 4)->token;
  std::atomic<int> lost{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&]() {
      for (int i = 0; i < 20000 && lost == 0; ++i) {
        if (!sessions.find(token)) ++lost;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(lost, 0);
}

TEST(WebSessionsTest, AnAccountsLoginsEndTogetherAndNoOtherOne) {
  SystemClock clock;
  WebSessions sessions(clock);
  std::string first = sessions.create("mia", 1)->token;
  std::string second = sessions.create("mia", 1)->token;
  std::string other = sessions.create("mia2", 1)->token;
  EXPECT_EQ(sessions.removeAccount("mia"), 2u);
  EXPECT_FALSE(sessions.find(first));
  EXPECT_FALSE(sessions.find(second));
  EXPECT_TRUE(sessions.find(other));
  EXPECT_EQ(sessions.removeAccount("mia"), 0u);
}

TEST(WebSessionsTest, SecretsCompareWhole) {
  EXPECT_TRUE(sameSecret("abc", "abc"));
  EXPECT_FALSE(sameSecret("abc", "abd"));
  EXPECT_FALSE(sameSecret("abc", "ab"));
  EXPECT_FALSE(sameSecret("", "a"));
}

}  // namespace
}  // namespace gsadmin
