// A session on a PostgreSQL server that is away at the start, comes, goes
// and comes back: what the console says, and the scripts' calls meanwhile.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>

#include "support/postgres_server.h"
#include "support/session_harness.h"

namespace gsadmin {
namespace {

using testing::PostgresServer;
using testing::SessionHarness;
using testing::SuiteServer;

constexpr char kLost[] = "gsadmin: database connection lost: ";
constexpr char kBack[] = "gsadmin: database connection is back\n";

size_t countOf(const std::string& text, const std::string& needle) {
  size_t count = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
    ++count;
  }
  return count;
}

class DatabaseConnectionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { postgres_.start(); }
  static void TearDownTestSuite() { postgres_.end(); }

  void SetUp() override {
    if (!postgres_.available()) GTEST_SKIP() << PostgresServer::kMissing;
    uri_ = postgres_.newDatabase("session");
    ASSERT_FALSE(uri_.empty()) << postgres_.failure();
  }

  // Polls, the clock moving 500 ms a time, until `line` was said or a few
  // seconds of real time pass; what standard error got.
  std::string pollUntil(SessionHarness& harness, const std::string& line) {
    std::string errors;
    auto give = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (errors.find(line) == std::string::npos && std::chrono::steady_clock::now() < give) {
      harness.clock().advance(500);
      harness.session().poll();
      errors += harness.errors();
      usleep(5000);
    }
    return errors;
  }

  static SuiteServer postgres_;
  std::string uri_;
};

SuiteServer DatabaseConnectionTest::postgres_;

TEST_F(DatabaseConnectionTest, ALossIsSaidOnceAndTheReturnOnce) {
  ASSERT_TRUE(postgres_.server().stop());
  std::string uri = uri_;
  SessionHarness harness("function tryIt() print(dbExec('SELECT 1') or 'nothing') end\n",
                         defaults::kAdminName, defaults::kAdminPassword,
                         testing::Transport::kInMemory, [uri](SessionSettings& settings) {
                           settings.moderation.enabled = false;
                           settings.databasePath = uri;
                         });
  ASSERT_TRUE(harness.started());
  // The start finds no server: it says so and goes on.
  std::string errors = harness.errors();
  EXPECT_EQ(countOf(errors, kLost), 1u) << errors;
  EXPECT_EQ(errors.rfind(kLost, 0), 0u) << errors;
  EXPECT_EQ(countOf(errors, "\n"), 1u) << errors;
  harness.output();
  harness.session().handleTypedLine(".lua tryIt()");
  EXPECT_EQ(harness.output(), "dbExec: not connected to the database\nnothing\n");

  ASSERT_TRUE(postgres_.server().start());
  errors = pollUntil(harness, kBack);
  EXPECT_EQ(errors, kBack);
  harness.output();  // the login the polls sent
  harness.session().handleTypedLine(".lua tryIt()");
  EXPECT_EQ(harness.output(), "0\n");

  // Gone mid-run: one line however many retries fail, then one when back.
  ASSERT_TRUE(postgres_.server().stop());
  harness.session().handleTypedLine(".lua tryIt()");
  EXPECT_NE(harness.output().find("dbExec: "), std::string::npos);
  errors.clear();
  for (int i = 0; i < 20; ++i) {
    harness.clock().advance(1000);
    harness.session().poll();
  }
  errors = harness.errors();
  EXPECT_EQ(countOf(errors, kLost), 1u) << errors;
  EXPECT_EQ(countOf(errors, "\n"), 1u) << errors;
  ASSERT_TRUE(postgres_.server().start());
  errors = pollUntil(harness, kBack);
  EXPECT_EQ(errors, kBack);
}

}  // namespace
}  // namespace gsadmin
