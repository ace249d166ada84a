// The --keep list and the daily purge in slices, on SQLite and on a real
// PostgreSQL server the suite starts itself.

#include "moderation/retention.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "moderation/record_store.h"
#include "storage/database.h"
#include "storage/sqlite_database.h"
#include "support/client_process.h"
#include "support/postgres_server.h"

namespace gsadmin {
namespace {

constexpr int64_t kDay = 24 * 3600;
constexpr int64_t kNow = 1796738602;

TEST(RetentionTest, KeepListsSetTheKindsTheyNameAndRefuseTheRest) {
  RetentionSettings base;
  base.chatSeconds = 5;
  std::optional<RetentionSettings> keep = parseRetention("kills:30d,reports:1y,visits:0", base);
  ASSERT_TRUE(keep);
  EXPECT_EQ(keep->chatSeconds, 5);
  EXPECT_EQ(keep->visitsSeconds, 0);
  EXPECT_EQ(keep->killsSeconds, 30 * kDay);
  EXPECT_EQ(keep->reportsSeconds, 365 * kDay);
  EXPECT_EQ(parseRetention("chat:1d12h", base)->chatSeconds, 36 * 3600);
  for (const char* refused : {"audit:1y", "sanctions:30d", "chat", "chat:", "chat:1d,chat:2d",
                              "chat:1d,", "chat:11y", "chat:0y", "chat:-1d", "bans:1d"}) {
    EXPECT_FALSE(parseRetention(refused, base)) << refused;
  }
}

class RetentionPurgeTest : public ::testing::TestWithParam<bool> {
 protected:
  static void SetUpTestSuite() { postgres_.start(); }
  static void TearDownTestSuite() { postgres_.end(); }

  void SetUp() override {
    if (GetParam()) {
      if (!postgres_.available()) GTEST_SKIP() << testing::PostgresServer::kMissing;
      std::string uri = postgres_.newDatabase("purge");
      ASSERT_FALSE(uri.empty()) << postgres_.failure();
      database_ = makeDatabase(uri);
      ASSERT_TRUE(database_->awaitConnection(5000));
    } else {
      database_ = std::make_unique<SqliteDatabase>(dir_.path() + "/script.db");
    }
    store_ = std::make_unique<RecordStore>(*database_);
    ASSERT_EQ(store_->open(), "");
  }

  int64_t count(const std::string& table) {
    StatementResult result = database_->run("SELECT count(*) FROM " + table, {});
    EXPECT_FALSE(result.error) << result.error.value_or("");
    return result.rowCount() == 1 ? result.values[0].integerValue : -1;
  }
  void insert(const char* sql, int rows, int64_t time) {
    ASSERT_FALSE(database_->run("BEGIN", {}).error);
    for (int i = 0; i < rows; ++i) {
      StatementResult result = database_->run(sql, {DbValue::integer(time)});
      ASSERT_FALSE(result.error) << result.error.value_or("");
    }
    ASSERT_FALSE(database_->run("COMMIT", {}).error);
  }

  static testing::SuiteServer postgres_;
  testing::TempDir dir_;
  std::unique_ptr<Database> database_;
  std::unique_ptr<RecordStore> store_;
};

testing::SuiteServer RetentionPurgeTest::postgres_;

// Each kind goes by its own span, in slices of at most a batch; the audit
// and the sanctions stay whatever their age.
TEST_P(RetentionPurgeTest, EachKindGoesByItsSpanInBoundedSlices) {
  const int old = static_cast<int>(RetentionPurge::kPurgeBatchRows) * 2 + 7;
  insert("INSERT INTO gs_chat (time, name_key, name, text) VALUES (?, 'bob', 'Bob', 'x')", old,
         kNow - 10 * kDay);
  insert("INSERT INTO gs_chat (time, name_key, name, text) VALUES (?, 'bob', 'Bob', 'x')", 3,
         kNow - kDay);
  insert("INSERT INTO gs_kills (time, killer, victim) VALUES (?, 'a', 'b')", 5, kNow - 10 * kDay);
  insert("INSERT INTO gs_sessions (name_key, name, joined, left_at) VALUES ('b', 'B', ?, NULL)", 4,
         kNow - 100 * kDay);
  insert("INSERT INTO gs_audit (time, actor, action, target) VALUES (?, 'a', 'kick', 'b')", 2,
         kNow - 1000 * kDay);
  insert(
      "INSERT INTO gs_sanctions (time, name_key, name, kind, actor) VALUES (?, 'b', 'B', "
      "'warn', 'a')",
      2, kNow - 1000 * kDay);

  RetentionSettings keep;
  keep.chatSeconds = 2 * kDay;
  keep.killsSeconds = 0;  // kept for good
  keep.visitsSeconds = 90 * kDay;
  keep.reportsSeconds = 0;  // kept for good
  RetentionPurge purge(*store_);
  purge.start(keep, kNow);
  int slices = 0;
  while (purge.running() && slices < 100) {
    EXPECT_LE(purge.step(), RetentionPurge::kPurgeBatchRows);
    ++slices;
  }
  EXPECT_FALSE(purge.running());
  EXPECT_GE(slices, 4);  // three slices of chat, one of visits
  EXPECT_EQ(count("gs_chat"), 3);
  EXPECT_EQ(count("gs_kills"), 5);
  EXPECT_EQ(count("gs_sessions"), 0);
  EXPECT_EQ(count("gs_audit"), 2);
  EXPECT_EQ(count("gs_sanctions"), 2);
}

// The reports go by their span, and their evidence and reporters with them.
TEST_P(RetentionPurgeTest, AReportGoesWithItsEvidenceAndReporters) {
  insert(
      "INSERT INTO gs_reports (time, target_key, target, reporter_key, reporter, reason)"
      " VALUES (?, 'b', 'B', 'a', 'A', 'x')",
      3, kNow - 40 * kDay);
  insert(
      "INSERT INTO gs_reports (time, target_key, target, reporter_key, reporter, reason)"
      " VALUES (?, 'b', 'B', 'a', 'A', 'x')",
      1, kNow - kDay);
  insert(
      "INSERT INTO gs_report_evidence (report, report_time, time, kind, name)"
      " VALUES (1, ?, 0, 'chat', 'B')",
      4, kNow - 40 * kDay);
  insert(
      "INSERT INTO gs_report_evidence (report, report_time, time, kind, name)"
      " VALUES (4, ?, 0, 'chat', 'B')",
      2, kNow - kDay);
  insert(
      "INSERT INTO gs_report_reporters (report, report_time, time, reporter_key, reporter,"
      " reason) VALUES (1, ?, 0, 'a', 'A', 'x')",
      1, kNow - 40 * kDay);
  RetentionSettings keep;
  keep.reportsSeconds = 30 * kDay;
  RetentionPurge purge(*store_);
  purge.start(keep, kNow);
  while (purge.running()) purge.step();
  EXPECT_EQ(count("gs_reports"), 1);
  EXPECT_EQ(count("gs_report_evidence"), 2);
  EXPECT_EQ(count("gs_report_reporters"), 0);
}

INSTANTIATE_TEST_SUITE_P(Backends, RetentionPurgeTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Postgres" : "Sqlite";
                         });

}  // namespace
}  // namespace gsadmin
