// The panel's reader threads over real read-only connections, to a SQLite
// file and to a PostgreSQL server the suite starts: what they may do, the
// budget of a read, work whose caller gave up, and a stop.

#include "panel/read_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/client_process.h"
#include "support/postgres_server.h"

namespace gsadmin {
namespace {

using std::chrono::milliseconds;
using testing::PostgresServer;
using testing::SuiteServer;
using testing::TempDir;

// Long enough never to pass on a slow machine; a broken hand-off hangs
// here rather than failing by chance.
constexpr milliseconds kPatient{60000};

struct Backend {
  const char* name;
  bool postgres;
  const char* endless;  // a statement that runs until stopped
};

const Backend kBackends[] = {
    {"SQLite", false,
     "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT count(*) FROM n"},
    {"PostgreSQL", true, "SELECT pg_sleep(60)"},
};

class ReadPoolTest : public ::testing::TestWithParam<Backend> {
 protected:
  static void SetUpTestSuite() { postgres_.start(); }
  static void TearDownTestSuite() { postgres_.end(); }

  // The writer's database with a table "t" of one row, 42.
  void SetUp() override {
    std::string location = dir_.path() + "/pool.db";
    if (GetParam().postgres) {
      if (!postgres_.available()) GTEST_SKIP() << PostgresServer::kMissing;
      location = postgres_.newDatabase("pool");
      ASSERT_FALSE(location.empty()) << postgres_.failure();
    }
    writer_ = makeDatabase(location);
    ASSERT_TRUE(writer_->awaitConnection(10000));
    for (const char* sql : {"CREATE TABLE t (v INTEGER)", "INSERT INTO t VALUES (42)"}) {
      ASSERT_EQ(writer_->run(sql, {}).error, std::nullopt) << sql;
    }
  }

  // A pool of `threads` reader threads whose reads may run for `budget`.
  std::unique_ptr<ReadPool> pool(size_t threads, milliseconds budget) {
    std::vector<std::unique_ptr<Database>> connections;
    for (size_t i = 0; i < threads; ++i) {
      connections.push_back(writer_->readOnlyConnection(static_cast<uint64_t>(budget.count())));
    }
    return std::make_unique<ReadPool>(clock_, std::move(connections), budget);
  }

  static SuiteServer postgres_;
  SystemClock clock_;
  TempDir dir_;
  std::unique_ptr<Database> writer_;
};

SuiteServer ReadPoolTest::postgres_;

TEST_P(ReadPoolTest, AReadSeesTheWritersRowsAndCannotWrite) {
  std::unique_ptr<ReadPool> reads = pool(1, kPatient);
  std::thread::id caller = std::this_thread::get_id();
  std::optional<ReadAnswer> answer = reads->run(
      [caller](ReadTools& tools) -> ReadAnswer {
        StatementResult read = tools.database.run("SELECT v FROM t", {});
        StatementResult write = tools.database.run("INSERT INTO t VALUES (1)", {});
        bool elsewhere = std::this_thread::get_id() != caller;
        bool seen = !read.error && read.rowCount() == 1 && read.values[0].integerValue == 42;
        return {seen && elsewhere ? 200 : 500, write.error.value_or("written")};
      },
      kPatient);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200);
  EXPECT_NE(answer->body.find("read"), std::string::npos) << answer->body;
  EXPECT_EQ(writer_->run("SELECT count(*) FROM t", {}).values[0].integerValue, 1);
}

TEST_P(ReadPoolTest, AReadPastItsBudgetIsStoppedAndSaysSo) {
  std::unique_ptr<ReadPool> reads = pool(1, milliseconds(100));
  const char* endless = GetParam().endless;
  std::optional<ReadAnswer> answer = reads->run(
      [endless](ReadTools& tools) -> ReadAnswer {
        StatementResult result = tools.database.run(endless, {});
        return {200, result.error.value_or("finished")};
      },
      kPatient);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 503);
  EXPECT_EQ(answer->body, R"({"error":"the read took too long"})");
  // The connection stays for the next read.
  answer = reads->run(
      [](ReadTools& tools) -> ReadAnswer {
        return {tools.database.run("SELECT v FROM t", {}).error ? 500 : 200, ""};
      },
      kPatient);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200);
}

TEST_P(ReadPoolTest, WorkWhoseCallerGaveUpNeverRunsAndFreesWhatItHeld) {
  std::unique_ptr<ReadPool> reads = pool(1, kPatient);
  // The one thread is held by a first read until the test lets it go.
  std::promise<void> letGo;
  std::shared_future<void> released = letGo.get_future().share();
  std::atomic<bool> firstRunning{false};
  auto first = std::async(std::launch::async, [&]() {
    return reads->run(
        [&](ReadTools&) -> ReadAnswer {
          firstRunning = true;
          released.wait();
          return {200, "first"};
        },
        kPatient);
  });
  while (!firstRunning) std::this_thread::sleep_for(milliseconds(1));

  auto held = std::make_shared<int>(0);
  std::atomic<bool> secondRan{false};
  std::optional<ReadAnswer> second = reads->run(
      [held, &secondRan](ReadTools&) -> ReadAnswer {
        secondRan = true;
        return {200, "second"};
      },
      milliseconds(20));
  EXPECT_FALSE(second.has_value());
  EXPECT_EQ(held.use_count(), 1) << "the work is freed when its caller gives up";

  letGo.set_value();
  ASSERT_TRUE(first.get());
  std::optional<ReadAnswer> third = reads->run(
      [](ReadTools&) -> ReadAnswer {
        return {200, "third"};
      },
      kPatient);
  ASSERT_TRUE(third);
  EXPECT_EQ(third->body, "third");
  EXPECT_FALSE(secondRan);
}

TEST_P(ReadPoolTest, AStopEndsTheRunningReadAndDropsTheWaiting) {
  std::unique_ptr<ReadPool> reads = pool(1, kPatient);
  std::atomic<bool> running{false};
  const char* endless = GetParam().endless;
  auto endlessRead = std::async(std::launch::async, [&]() {
    return reads->run(
        [&](ReadTools& tools) -> ReadAnswer {
          running = true;
          tools.database.run(endless, {});
          return {200, "finished"};
        },
        kPatient);
  });
  while (!running) std::this_thread::sleep_for(milliseconds(1));
  std::atomic<bool> waitingRan{false};
  auto waiting = std::async(std::launch::async, [&]() {
    return reads->run(
        [&](ReadTools&) -> ReadAnswer {
          waitingRan = true;
          return {200, "waiting"};
        },
        kPatient);
  });
  std::this_thread::sleep_for(milliseconds(50));  // the second is queued (or not yet: the same)
  reads->stop();
  std::optional<ReadAnswer> stopped = endlessRead.get();
  EXPECT_TRUE(!stopped || stopped->status == 503);
  EXPECT_FALSE(waiting.get().has_value());
  EXPECT_FALSE(waitingRan);
  EXPECT_FALSE(reads->run([](ReadTools&) -> ReadAnswer { return {200, ""}; }, kPatient));
}

INSTANTIATE_TEST_SUITE_P(Backends, ReadPoolTest, ::testing::ValuesIn(kBackends),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace gsadmin
