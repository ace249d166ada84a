// The sanctions against a real SQLite file: bans indexed in memory and read
// back after a restart, lifting, warnings that expire, notes and the audit.

#include "moderation/sanctions.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "storage/sqlite_database.h"
#include "support/client_process.h"

namespace gsadmin {
namespace {

using testing::TempDir;

constexpr int64_t kNow = 1796731200;  // 2026-12-08 12:00 UTC
constexpr int64_t kHour = 3600;

// The store and sanctions over script.db in a temporary directory; reopen()
// starts over on the same file, as a restarted client does.
class SanctionsTest : public ::testing::Test {
 protected:
  SanctionsTest() { reopen(); }

  void reopen(int64_t now = kNow) {
    sanctions_.reset();
    if (store_) store_->flush();
    store_.reset();
    database_ = std::make_unique<SqliteDatabase>(dir_.path() + "/script.db");
    store_ = std::make_unique<RecordStore>(*database_);
    ASSERT_EQ(store_->open(), "");
    sanctions_ = std::make_unique<Sanctions>(*store_);
    ASSERT_EQ(sanctions_->load(now), "");
    ASSERT_EQ(sanctions_->awaitLoaded(now), "");
    ASSERT_TRUE(sanctions_->indexed());
  }

  Sanctions& sanctions() { return *sanctions_; }

  TempDir dir_;
  std::unique_ptr<SqliteDatabase> database_;
  std::unique_ptr<RecordStore> store_;
  std::unique_ptr<Sanctions> sanctions_;
};

// A name without a ban of its own is held by the ban on a name it looks
// like, read back after a restart, lifted with it and gone once it ends.
TEST_F(SanctionsTest, LookAlikesOfABannedNameAreHeldByItsBan) {
  const std::string cyrillic = "Ev\xd0\xb5";
  sanctions().record("Eve", kSanctionTempban, 2 * kHour, kNow + 2 * kHour, "grief", "Admin", kNow);
  sanctions().record("Eve", kSanctionBan, 0, std::nullopt, "cheat", "Admin", kNow);
  sanctions().record("Ann", kSanctionTempban, kHour, kNow + kHour, "", "Admin", kNow);
  for (int restart = 0; restart < 2; ++restart) {
    std::optional<SanctionRecord> ban = sanctions().activeBan(cyrillic, kNow);
    ASSERT_TRUE(ban) << restart;
    EXPECT_EQ(ban->name, "Eve");
    EXPECT_EQ(ban->reason, "cheat") << "the longest holds";
    EXPECT_EQ(sanctions().activeBan("\xd0\x90nn", kNow)->name, "Ann");  // Cyrillic А
    EXPECT_FALSE(sanctions().activeBan("Eva", kNow));
    reopen();
  }
  // Its own ban comes first: the line then names the player alone.
  sanctions().record(cyrillic, kSanctionTempban, kHour, kNow + kHour, "own", "Admin", kNow);
  EXPECT_EQ(sanctions().activeBan(cyrillic, kNow)->reason, "own");
  EXPECT_EQ(sanctions().lift({cyrillic}, "", "Admin", kNow), 1u);
  EXPECT_EQ(sanctions().activeBan(cyrillic, kNow)->name, "Eve");
  EXPECT_EQ(sanctions().lift({"eve"}, "", "Admin", kNow), 2u);
  EXPECT_FALSE(sanctions().activeBan(cyrillic, kNow));
  // An ended ban, pruned, holds nothing for its look-alikes either.
  EXPECT_TRUE(sanctions().activeBan("\xd0\x90nn", kNow + kHour - 1));
  sanctions().record("Zed", kSanctionTempban, 60, kNow + 3 * kHour, "", "Admin", kNow + 2 * kHour);
  EXPECT_FALSE(sanctions().activeBan("\xd0\x90nn", kNow + 2 * kHour));
}

TEST_F(SanctionsTest, BansHoldInAnyCaseAndSurviveARestartUntilTheyEnd) {
  sanctions().record("Troll", kSanctionTempban, 2 * kHour, kNow + 2 * kHour, "spam", "Admin", kNow);
  sanctions().record("Cheater", kSanctionBan, 0, std::nullopt, "aimbot", "Admin", kNow);
  sanctions().record("Bo", kSanctionKick, 0, std::nullopt, "", "Admin", kNow);
  sanctions().record("Short", kSanctionTempban, 60, kNow + 60, "", "Admin", kNow);

  for (int restart = 0; restart < 2; ++restart) {
    std::optional<SanctionRecord> ban = sanctions().activeBan("tROLL", kNow + kHour);
    ASSERT_TRUE(ban) << restart;
    EXPECT_EQ(ban->name, "Troll");
    EXPECT_EQ(ban->reason, "spam");
    EXPECT_EQ(ban->actor, "Admin");
    EXPECT_EQ(ban->until, kNow + 2 * kHour);
    EXPECT_FALSE(sanctions().activeBan("Troll", kNow + 2 * kHour)) << "ends at its until";
    EXPECT_FALSE(sanctions().activeBan("Bo", kNow)) << "a kick is no ban";
    EXPECT_FALSE(sanctions().activeBan("Troll2", kNow));
    std::optional<SanctionRecord> permanent =
        sanctions().activeBan("cheater", kNow + 3650 * 24 * kHour);
    ASSERT_TRUE(permanent);
    EXPECT_FALSE(permanent->until);
    reopen(kNow + 120);  // "Short" has ended by the restart
  }
  std::vector<SanctionRecord> bans = sanctions().activeBans(kNow + 120).value();
  ASSERT_EQ(bans.size(), 2u);
  EXPECT_EQ(bans[0].name, "Troll");  // the soonest to end first
  EXPECT_EQ(bans[1].name, "Cheater");
}

TEST_F(SanctionsTest, TheLongestBanHoldsAndLiftingEndsEveryOneOnEachName) {
  sanctions().record("Troll", kSanctionTempban, kHour, kNow + kHour, "first", "A", kNow);
  sanctions().record("troll", kSanctionTempban, 5 * kHour, kNow + 5 * kHour, "longer", "B", kNow);
  sanctions().record("Alias", kSanctionBan, 0, std::nullopt, "", "C", kNow);
  sanctions().record("Other", kSanctionBan, 0, std::nullopt, "", "C", kNow);
  EXPECT_EQ(sanctions().activeBan("TROLL", kNow)->reason, "longer");
  EXPECT_EQ(sanctions().activeBans(kNow)->size(), 3u) << "one a name";

  EXPECT_EQ(sanctions().lift({"TROLL", "alias", "Nobody"}, "", "Op", kNow + 10), 3u);
  EXPECT_FALSE(sanctions().activeBan("Troll", kNow + 10));
  EXPECT_FALSE(sanctions().activeBan("Alias", kNow + 10));
  EXPECT_TRUE(sanctions().activeBan("Other", kNow + 10));
  EXPECT_EQ(sanctions().lift({"Troll"}, "", "Op", kNow + 20), 0u) << "nothing left to lift";

  // The lifts are written, and a restart does not bring the bans back.
  reopen(kNow + 30);
  EXPECT_FALSE(sanctions().activeBan("troll", kNow + 30));
  EXPECT_TRUE(sanctions().activeBan("other", kNow + 30));
  std::vector<SanctionRecord> history = sanctions().sanctionsOf("TROLL", 10);
  ASSERT_EQ(history.size(), 3u) << "the two bans and one unban";
  EXPECT_EQ(history[0].kind, kSanctionUnban);
  EXPECT_EQ(history[0].actor, "Op");
  EXPECT_EQ(history[1].lifted, kNow + 10);
  EXPECT_EQ(history[2].lifted, kNow + 10);
  EXPECT_EQ(sanctions().sanctionsOf("Nobody", 10).size(), 0u) << "no unban without a ban";
}

TEST_F(SanctionsTest, WarningsCountUntilTheyExpire) {
  sanctions().record("Bo", kSanctionWarn, 0, kNow + kHour, "spam", "A", kNow);
  sanctions().record("bo", kSanctionWarn, 0, kNow + 3 * kHour, "caps", "B", kNow + 10);
  sanctions().record("Bo", kSanctionWarn, 0, std::nullopt, "forever", "C", kNow + 20);
  sanctions().record("Ann", kSanctionWarn, 0, kNow + kHour, "other", "A", kNow);
  std::vector<SanctionRecord> warnings = sanctions().activeWarnings("BO", kNow + 30);
  ASSERT_EQ(warnings.size(), 3u);
  EXPECT_EQ(warnings[0].reason, "spam");  // oldest first
  EXPECT_EQ(warnings[2].until, std::nullopt);
  EXPECT_EQ(sanctions().activeWarnings("Bo", kNow + kHour).size(), 2u);
  EXPECT_EQ(sanctions().activeWarnings("Bo", kNow + 3 * kHour).size(), 1u);
  EXPECT_FALSE(sanctions().activeBan("Bo", kNow)) << "warnings are no bans";
}

TEST_F(SanctionsTest, NotesAuditAndBoundedTexts) {
  std::string longText(300, 'x');
  longText.replace(255, 2, "\xc3\xa9");  // a two-byte character across the cut
  sanctions().addNote("Bo", "Op", "plays fair", kNow);
  sanctions().addNote("bo", "Op", longText, kNow + 1);
  sanctions().audit("Op", "note", "Bo", "plays fair", kNow);
  sanctions().audit("Op", "kick", "Ann", longText, kNow + 1);
  sanctions().record("Ann", kSanctionKick, 0, std::nullopt, longText, "Op", kNow + 1);

  std::vector<NoteRecord> notes = sanctions().notesOf("BO", 10);
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0].text, std::string(255, 'x')) << "newest first, cut before the character";
  EXPECT_EQ(notes[1].text, "plays fair");
  EXPECT_EQ(sanctions().notesOf("Bo", 1).size(), 1u);
  std::vector<AuditRecord> audit = sanctions().lastAudit(10);
  ASSERT_EQ(audit.size(), 2u);
  EXPECT_EQ(audit[0].action, "kick");
  EXPECT_EQ(audit[0].detail.size(), 255u);
  EXPECT_EQ(audit[1].target, "Bo");
  EXPECT_EQ(sanctions().sanctionsOf("Ann", 10).at(0).reason.size(), 255u);
  EXPECT_EQ(boundedText("abc", 3), "abc");
  EXPECT_EQ(boundedText("ab\xc3\xa9", 3), "ab");
}

// More bans than a database's cap on one result holds are all read at a
// restart, warnings and lifted ones left out.
TEST_F(SanctionsTest, ManyBansAreAllReadBack) {
  constexpr int kBans = 25001;
  for (int i = 0; i < kBans; ++i) {
    std::string name = "p" + std::to_string(i);
    sanctions().record(name, kSanctionTempban, kHour, kNow + kHour, "", "Admin", kNow);
    if (i % 1000 == 0) sanctions().record(name, kSanctionWarn, 0, kNow + kHour, "", "Admin", kNow);
  }
  sanctions().lift({"p7"}, "", "Admin", kNow);
  ASSERT_FALSE(store_->flush());

  // Room for some 15000 bans in one result.
  SqliteDatabase capped(dir_.path() + "/script.db", 10 * 1024 * 1024);
  RecordStore store(capped);
  ASSERT_EQ(store.open(), "");
  Sanctions restarted(store);
  ASSERT_EQ(restarted.load(kNow), "");
  ASSERT_EQ(restarted.awaitLoaded(kNow), "");
  EXPECT_EQ(restarted.activeBans(kNow)->size(), static_cast<size_t>(kBans - 1));
  EXPECT_TRUE(restarted.activeBan("P25000", kNow));
  EXPECT_FALSE(restarted.activeBan("p7", kNow));
}

}  // namespace
}  // namespace gsadmin
