// The searches and edits of the bans against a real SQLite file: pages cut
// where the next begins, patterns that match their text literally, and a
// ban made longer or shorter holding as it now says.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "moderation/record_search.h"
#include "moderation/sanctions.h"
#include "storage/sqlite_database.h"
#include "support/client_process.h"

namespace gsadmin {
namespace {

constexpr int64_t kNow = 1796731200;  // 2026-12-08 12:00 UTC
constexpr int64_t kHour = 3600;

class SanctionsSearchTest : public ::testing::Test {
 protected:
  SanctionsSearchTest() : database_(dir_.path() + "/script.db"), store_(database_) {
    EXPECT_EQ(store_.open(), "");
    sanctions_ = std::make_unique<Sanctions>(store_);
    EXPECT_EQ(sanctions_->load(kNow), "");
    EXPECT_EQ(sanctions_->awaitLoaded(kNow), "");
  }

  testing::TempDir dir_;
  SqliteDatabase database_;
  RecordStore store_;
  std::unique_ptr<Sanctions> sanctions_;
};

TEST_F(SanctionsSearchTest, AnExportPastItsCapSaysWhereTheRestBegins) {
  StatementResult filled = database_.run(
      "INSERT INTO gs_sanctions (time, name_key, name, kind, seconds, until, actor, skeleton)"
      " WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?)"
      " SELECT ?, 'n' || i, 'N' || i, 'tempban', 3600, ?, 'alice', 'n' || i FROM n",
      {DbValue::integer(kMaxExportRows + 5), DbValue::integer(kNow),
       DbValue::integer(kNow + kHour)});
  ASSERT_FALSE(filled.error) << *filled.error;
  auto first = sanctions_->searchBans({}, PageRequest{std::nullopt, kMaxExportRows}, kNow);
  ASSERT_TRUE(first);
  ASSERT_EQ(first->rows.size(), kMaxExportRows);
  ASSERT_TRUE(first->next);
  EXPECT_EQ(*first->next, first->rows.back().id);
  auto rest = sanctions_->searchBans({}, PageRequest{first->next, kMaxExportRows}, kNow);
  ASSERT_TRUE(rest);
  EXPECT_EQ(rest->rows.size(), 5u);
  EXPECT_FALSE(rest->next);
}

TEST_F(SanctionsSearchTest, PatternsMatchTheirTextLiterally) {
  for (const char* name : {"a_b", "axb", "100%", "1000", "back\\slash"}) {
    sanctions_->record(name, kSanctionBan, 0, std::nullopt, "", "alice", kNow);
  }
  auto count = [this](const std::string& part) {
    BanFilter filter;
    filter.name = part;
    return sanctions_->searchBans(filter, {}, kNow)->rows.size();
  };
  EXPECT_EQ(count("_"), 1u);
  EXPECT_EQ(count("%"), 1u);
  EXPECT_EQ(count("\\"), 1u);
  EXPECT_EQ(count("A"), 3u);  // any case: a_b, axb, back\slash
  EXPECT_EQ(count(""), 5u);
}

TEST_F(SanctionsSearchTest, ALongerOrShorterBanHoldsAsItNowSays) {
  sanctions_->record("Eve", kSanctionTempban, kHour, kNow + kHour, "spam", "alice", kNow);
  auto page = sanctions_->searchBans({}, {}, kNow);
  ASSERT_TRUE(page && page->rows.size() == 1);
  SanctionRecord ban = *sanctions_->banById(page->rows[0].id);
  EXPECT_FALSE(sanctions_->banById(ban.id + 1));

  sanctions_->relength(ban, 3 * kHour);
  EXPECT_TRUE(sanctions_->activeBan("eve", kNow + 2 * kHour));
  sanctions_->reword(ban, "flood");
  EXPECT_EQ(sanctions_->activeBan("eve", kNow)->reason, "flood");
  sanctions_->relength(ban, 60);
  EXPECT_FALSE(sanctions_->activeBan("eve", kNow + 120));
  BanFilter ended;
  ended.state = BanState::kEnded;
  EXPECT_EQ(sanctions_->searchBans(ended, {}, kNow + 120)->rows.size(), 1u);
}

}  // namespace
}  // namespace gsadmin
