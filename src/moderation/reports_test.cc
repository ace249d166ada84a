// Reports on SQLite and on a real PostgreSQL server the suite starts,
// driven by a manual clock: stored with
// their reporters, joined within five minutes, their evidence copied once
// its minute has passed (and kept when the records go), bounded; and the
// reporters' cooldown.

#include "moderation/reports.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "moderation/player_history.h"
#include "storage/database.h"
#include "storage/sqlite_database.h"
#include "support/client_process.h"
#include "support/manual_clock.h"
#include "support/postgres_server.h"

namespace gsadmin {
namespace {

using testing::TempDir;

class ReportsTest : public ::testing::TestWithParam<bool> {
 protected:
  static void SetUpTestSuite() { postgres_.start(); }
  static void TearDownTestSuite() { postgres_.end(); }

  void SetUp() override {
    if (GetParam()) {
      if (!postgres_.available()) GTEST_SKIP() << testing::PostgresServer::kMissing;
      std::string uri = postgres_.newDatabase("reports");
      ASSERT_FALSE(uri.empty()) << postgres_.failure();
      database_ = makeDatabase(uri);
      ASSERT_TRUE(database_->awaitConnection(5000));
    } else {
      database_ = std::make_unique<SqliteDatabase>(dir_.path() + "/script.db");
    }
    store_ = std::make_unique<RecordStore>(*database_);
    ASSERT_EQ(store_->open(), "");
    store_->setServerName("arena");
    history_ = std::make_unique<PlayerHistory>(*store_);
    reports_ = std::make_unique<Reports>(*store_);
  }

  int64_t now() { return clock_.wallSeconds(); }
  uint64_t nowMs() { return clock_.nowMs(); }
  void advanceSeconds(int64_t seconds) { clock_.advance(static_cast<uint64_t>(seconds) * 1000); }
  Reports::Filed file(const char* target, const char* reporter, const char* reason) {
    return reports_->file(target, reporter, reason, now(), nowMs());
  }
  // Runs the loop's timer when it is due.
  void runDue() {
    std::optional<uint64_t> due = reports_->nextDueMs();
    if (due && *due <= nowMs()) reports_->completeDue(nowMs());
  }
  std::vector<std::string> evidenceText(int64_t id) {
    std::vector<std::string> lines;
    for (const EvidenceRecord& r : reports_->evidence(id, 1000)) {
      lines.push_back(r.kind + " " + r.name + ">" + r.other + " " + r.text);
    }
    return lines;
  }

  static testing::SuiteServer postgres_;
  TempDir dir_;
  ManualClock clock_;
  std::unique_ptr<Database> database_;
  std::unique_ptr<RecordStore> store_;
  std::unique_ptr<PlayerHistory> history_;
  std::unique_ptr<Reports> reports_;
};

testing::SuiteServer ReportsTest::postgres_;

TEST_P(ReportsTest, AReportIsStoredOpenWithItsReporter) {
  Reports::Filed filed = file("Bob", "Ann", "  aimbot ");
  EXPECT_EQ(filed.id, 1);
  EXPECT_FALSE(filed.joined);
  std::optional<ReportRecord> report = reports_->find(filed.id);
  ASSERT_TRUE(report);
  EXPECT_EQ(report->target, "Bob");
  EXPECT_EQ(report->reporter, "Ann");
  EXPECT_EQ(report->reason, "  aimbot ");  // trimmed by the moderation, kept as given here
  EXPECT_EQ(report->state, kReportOpen);
  EXPECT_EQ(report->server, "arena");
  EXPECT_EQ(reports_->reportersOf(filed.id, 10), (std::vector<std::string>{"Ann"}));
  std::optional<std::vector<ReportRecord>> unclosed = reports_->unclosed(10);
  ASSERT_TRUE(unclosed);
  EXPECT_EQ(unclosed->size(), 1u);
}

TEST_P(ReportsTest, ReportsOfOnePlayerWithinFiveMinutesJoinCountingEachReporterOnce) {
  int64_t first = file("Bob", "Ann", "aimbot").id;
  advanceSeconds(60);
  Reports::Filed second = file("bob", "Cy", "wallhack");
  EXPECT_TRUE(second.joined);
  EXPECT_EQ(second.id, first);
  EXPECT_EQ(second.reporters, 2);
  advanceSeconds(60);
  Reports::Filed again = file("BOB", "ann", "still");
  EXPECT_EQ(again.id, first);
  EXPECT_EQ(again.reporters, 2) << "a reporter counts once";
  EXPECT_EQ(reports_->reportersOf(first, 10), (std::vector<std::string>{"Ann", "Cy"}));
  // Past five minutes from the first: a report of its own.
  advanceSeconds(Reports::kMergeSeconds);
  Reports::Filed later = file("Bob", "Dee", "again");
  EXPECT_FALSE(later.joined);
  EXPECT_NE(later.id, first);
  // A closed report takes no more.
  reports_->close(later.id, 40, "done", now());
  Reports::Filed afterClose = file("Bob", "Eve", "more");
  EXPECT_FALSE(afterClose.joined);
  EXPECT_EQ(reports_->unclosed(10)->size(), 2u);
}

TEST_P(ReportsTest, EvidenceIsCopiedOnceItsMinuteHasPassedAndOutlivesTheRecords) {
  int64_t start = now();
  history_->chatRecorded("Bob", std::nullopt, "too early", start);
  advanceSeconds(100);  // start + 100
  history_->chatRecorded("Bob", std::nullopt, "ez", now());
  history_->chatRecorded("Ann", std::string_view("Bob"), "stop it", now());
  history_->chatRecorded("Cy", std::nullopt, "not a party", now());
  history_->deathRecorded("Ann", std::string_view("Bob"), now());
  history_->deathRecorded("Cy", std::string_view("Dee"), now());
  advanceSeconds(100);  // start + 200: the report, taking from start + 80
  Reports::Filed filed = file("Bob", "Ann", "aimbot");
  EXPECT_TRUE(reports_->collecting(filed.id));
  ASSERT_TRUE(reports_->nextDueMs());
  EXPECT_EQ(*reports_->nextDueMs(), nowMs() + Reports::kEvidenceAfter * 1000);
  advanceSeconds(30);
  history_->chatRecorded("Bob", std::nullopt, "after", now());
  runDue();
  EXPECT_TRUE(evidenceText(filed.id).empty()) << "not before its minute";
  advanceSeconds(30);
  runDue();
  advanceSeconds(1);
  history_->chatRecorded("Bob", std::nullopt, "too late", now());
  EXPECT_FALSE(reports_->collecting(filed.id));
  EXPECT_FALSE(reports_->nextDueMs());
  std::vector<std::string> expected = {"chat Bob> ez", "chat Ann>Bob stop it", "kill Bob>Ann ",
                                       "chat Bob> after"};
  EXPECT_EQ(evidenceText(filed.id), expected);
  // The records' retention takes the chat and kills; the copy stays.
  ASSERT_FALSE(store_->query("DELETE FROM gs_chat", {}).error);
  ASSERT_FALSE(store_->query("DELETE FROM gs_kills", {}).error);
  EXPECT_EQ(evidenceText(filed.id), expected);
  EXPECT_EQ(reports_->find(filed.id)->evidenceTo, now() - 1);
}

TEST_P(ReportsTest, AJoiningReportExtendsTheSpanWithoutCopyingTwice) {
  Reports::Filed filed = file("Bob", "Ann", "aimbot");
  history_->chatRecorded("Bob", std::nullopt, "one", now());
  advanceSeconds(Reports::kEvidenceAfter);
  runDue();
  EXPECT_EQ(evidenceText(filed.id).size(), 1u);
  advanceSeconds(60);
  history_->chatRecorded("Bob", std::nullopt, "two", now());
  EXPECT_TRUE(file("Bob", "Cy", "same").joined);
  EXPECT_TRUE(reports_->collecting(filed.id));
  advanceSeconds(Reports::kEvidenceAfter);
  runDue();
  EXPECT_EQ(evidenceText(filed.id), (std::vector<std::string>{"chat Bob> one", "chat Bob> two"}));
}

TEST_P(ReportsTest, EvidenceIsBoundedAndOnlyThisServers) {
  store_->setServerName("other");
  history_->chatRecorded("Bob", std::nullopt, "elsewhere", now());
  store_->setServerName("arena");
  for (int i = 0; i < Reports::kMaxEvidenceRows + 50; ++i) {
    history_->chatRecorded("Bob", std::nullopt, "spam " + std::to_string(i), now());
  }
  Reports::Filed filed = file("Bob", "Ann", "flood");
  advanceSeconds(Reports::kEvidenceAfter);
  runDue();
  std::vector<std::string> lines = evidenceText(filed.id);
  ASSERT_EQ(lines.size(), static_cast<size_t>(Reports::kMaxEvidenceRows));
  EXPECT_EQ(lines.front(), "chat Bob> spam 0");
}

TEST_P(ReportsTest, PastTheBoundTheLinesNearestTheReportAreKept) {
  for (int i = 0; i < Reports::kMaxEvidenceRows; ++i) {
    history_->chatRecorded("Bob", std::nullopt, "early " + std::to_string(i), now() - 100);
  }
  for (int i = 0; i < 20; ++i) {
    history_->chatRecorded("Bob", std::nullopt, "near " + std::to_string(i), now());
  }
  Reports::Filed filed = file("Bob", "Ann", "flood");
  advanceSeconds(Reports::kEvidenceAfter);
  runDue();
  std::vector<std::string> lines = evidenceText(filed.id);
  ASSERT_EQ(lines.size(), static_cast<size_t>(Reports::kMaxEvidenceRows));
  EXPECT_EQ(lines.back(), "chat Bob> near 19");
  EXPECT_EQ(lines.front(), "chat Bob> early 0");
}

TEST_P(ReportsTest, ClaimedThenClosedWithASanction) {
  int64_t id = file("Bob", "Ann", "aimbot").id;
  reports_->claim(id, "Warden");
  std::optional<ReportRecord> claimed = reports_->find(id);
  EXPECT_EQ(claimed->state, kReportClaimed);
  EXPECT_EQ(claimed->claimedBy, "Warden");
  reports_->close(id, 12, "seen", now());
  std::optional<ReportRecord> closed = reports_->find(id);
  EXPECT_EQ(closed->state, kReportClosed);
  EXPECT_EQ(closed->sanction, 12);
  EXPECT_EQ(closed->note, "seen");
  EXPECT_EQ(closed->closed, now());
  EXPECT_TRUE(reports_->unclosed(10)->empty());
}

INSTANTIATE_TEST_SUITE_P(Backends, ReportsTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Postgres" : "Sqlite";
                         });

TEST(ReportCooldownTest, OneReportAMinuteForEachReporter) {
  ReportCooldown cooldown(60);
  EXPECT_EQ(cooldown.take("ann", 1000), 0);
  EXPECT_EQ(cooldown.take("ann", 1001), 59);
  EXPECT_EQ(cooldown.take("cy", 1001), 0);
  EXPECT_EQ(cooldown.take("ann", 1059), 1);
  EXPECT_EQ(cooldown.take("ann", 1060), 0);
  EXPECT_EQ(cooldown.take("ann", 1061), 59);
}

TEST(ReportCooldownTest, ManyReportersStayBoundedAndStillWait) {
  ReportCooldown cooldown(60);
  for (size_t i = 0; i < ReportCooldown::kMaxKept; ++i) {
    EXPECT_EQ(cooldown.take("old" + std::to_string(i), 0), 0);
  }
  // The old ones' wait is over: they make room, and the newest still waits.
  EXPECT_EQ(cooldown.take("new", 100), 0);
  EXPECT_EQ(cooldown.take("new", 101), 59);
  EXPECT_EQ(cooldown.take("old1", 101), 0);
}

}  // namespace
}  // namespace gsadmin
