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

TEST(WebSessionsTest, AnAccountListsItsOwnLoginsAndEndsOneByItsId) {
  ManualClock clock;
  WebSessions sessions(clock);
  std::string first =
      sessions.create("alice", 4, {"127.0.0.1", "Firefox\x1b[2J/1.0" + std::string(300, 'x')})
          ->token;
  clock.advance(5000);
  std::string second = sessions.create("alice", 4, {"::1", "curl/8"})->token;
  sessions.create("mia", 1, {"10.0.0.9", "Chromium"});
  std::vector<SessionView> listed = sessions.list("alice");
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].token, second) << "the latest seen first";
  EXPECT_EQ(listed[0].origin.address, "::1");
  EXPECT_EQ(listed[1].origin.browser.size(), WebSessions::kMaxBrowserBytes);
  EXPECT_TRUE(listed[1].origin.browser.starts_with("Firefox?[2J/1.0")) << "no control bytes";
  EXPECT_EQ(listed[1].started, ManualClock::kEpochSeconds + 1);
  EXPECT_EQ(listed[0].id.size(), 16u);
  EXPECT_NE(listed[0].id, listed[1].id);

  EXPECT_FALSE(sessions.removeById("mia", listed[1].id)) << "another account's login";
  EXPECT_TRUE(sessions.removeById("alice", listed[1].id));
  EXPECT_FALSE(sessions.find(first));
  EXPECT_TRUE(sessions.find(second));
  EXPECT_EQ(sessions.list("alice").size(), 1u);
}

}  // namespace
}  // namespace gsadmin
