// The bans through their index in memory: the same answers whether the
// index is there, still being read, or full of colliding fingerprints
// (the database decides every hint), and nothing lost of what is recorded,
// lifted or changed elsewhere while the index is read.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "moderation/sanctions.h"
#include "storage/sqlite_database.h"
#include "support/client_process.h"

namespace gsadmin {
namespace {

using testing::TempDir;

constexpr int64_t kNow = 1796731200;
constexpr int64_t kHour = 3600;
const char kCyrillicEve[] = "Ev\xd0\xb5";

uint32_t sameForAll(std::string_view) {
  return 0;
}

class SanctionsIndexTest : public ::testing::Test {
 protected:
  // A fresh store and sanctions over the file, reading the bans with
  // `hash`; `awaited`: the index is taken before anything is asked.
  Sanctions& restart(BanIndex::Hash hash, bool awaited) {
    sanctions_.reset();
    if (store_) {
      EXPECT_FALSE(store_->flush());
    }
    store_.reset();
    database_ = std::make_unique<SqliteDatabase>(dir_.path() + "/script.db");
    store_ = std::make_unique<RecordStore>(*database_);
    EXPECT_EQ(store_->open(), "");
    sanctions_ = std::make_unique<Sanctions>(*store_, hash);
    EXPECT_EQ(sanctions_->load(kNow), "");
    if (awaited) {
      EXPECT_EQ(sanctions_->awaitLoaded(kNow), "");
    }
    EXPECT_EQ(sanctions_->indexed(), awaited);
    return *sanctions_;
  }

  // What another client of the database writes behind this one's back.
  void insertElsewhere(const std::string& key, const char* skeleton, int64_t until) {
    SqliteDatabase other(dir_.path() + "/script.db");
    StatementResult result = other.run(
        "INSERT INTO gs_sanctions (time, name_key, name, kind, until, actor, skeleton)"
        " VALUES (?, ?, ?, 'tempban', ?, 'Elsewhere', ?)",
        {DbValue::integer(kNow), DbValue::text(key), DbValue::text(key), DbValue::integer(until),
         DbValue::text(skeleton)});
    ASSERT_FALSE(result.error) << *result.error;
  }

  TempDir dir_;
  std::unique_ptr<SqliteDatabase> database_;
  std::unique_ptr<RecordStore> store_;
  std::unique_ptr<Sanctions> sanctions_;
};

struct Expected {
  const char* name;
  const char* bannedAs;  // nullptr: no ban holds
  const char* reason;
};

TEST_F(SanctionsIndexTest, EveryWayOfHoldingTheIndexAnswersAlike) {
  const Expected expected[] = {
      {"EVE", "Eve", "cheat"},     {kCyrillicEve, "Eve", "cheat"},  // the longest, look-alike
      {"ann", "Ann", "flood"},     {"Eva", nullptr, nullptr},      {"Lifted", nullptr, nullptr},
      {"Ended", nullptr, nullptr}, {"Warned", nullptr, nullptr},   {"Nobody", nullptr, nullptr},
  };
  struct Way {
    BanIndex::Hash hash;
    bool awaited;
  };
  const Way ways[] = {{&BanIndex::fingerprint, true},
                      {&BanIndex::fingerprint, false},
                      {&sameForAll, true},
                      {&sameForAll, false}};
  Sanctions* s = &restart(&BanIndex::fingerprint, true);
  s->record("Eve", kSanctionTempban, kHour, kNow + kHour, "grief", "Op", kNow - 10);
  s->record("Eve", kSanctionBan, 0, std::nullopt, "cheat", "Op", kNow - 10);
  s->record("Ann", kSanctionTempban, kHour, kNow + kHour, "flood", "Op", kNow - 10);
  s->record("Lifted", kSanctionBan, 0, std::nullopt, "", "Op", kNow - 10);
  EXPECT_EQ(s->lift({"lifted"}, "", "Op", kNow - 5), 1u);
  s->record("Ended", kSanctionTempban, 5, kNow - 5, "", "Op", kNow - 10);
  s->record("Warned", kSanctionWarn, 0, kNow + kHour, "", "Op", kNow - 10);
  for (const Way& way : ways) {
    Sanctions& sanctions = restart(way.hash, way.awaited);
    for (const Expected& e : expected) {
      std::optional<SanctionRecord> ban = sanctions.activeBan(e.name, kNow);
      SCOPED_TRACE(std::string(e.name) + (way.hash == &sameForAll ? " colliding" : "") +
                   (way.awaited ? " indexed" : " loading"));
      ASSERT_EQ(ban.has_value(), e.bannedAs != nullptr);
      if (!ban) continue;
      EXPECT_EQ(ban->name, e.bannedAs);
      EXPECT_EQ(ban->reason, e.reason);
    }
    EXPECT_EQ(sanctions.activeBans(kNow)->size(), 2u);
    EXPECT_EQ(sanctions.lift({"Nobody", "Eva"}, "", "Op", kNow), 0u);
  }
  // Lifted through a colliding index, every ban on the name is counted.
  EXPECT_EQ(restart(&sameForAll, true).lift({"eve"}, "", "Op", kNow), 2u);
  EXPECT_FALSE(sanctions_->activeBan(kCyrillicEve, kNow));
  EXPECT_TRUE(sanctions_->activeBan("Ann", kNow));
}

// What happens while the index is read is right once it is there: bans
// recorded and lifted here, and bans another client made (its notice has
// the name read again).
TEST_F(SanctionsIndexTest, ChangesWhileTheIndexIsReadHoldAfterwards) {
  Sanctions* s = &restart(&BanIndex::fingerprint, true);
  for (int i = 0; i < 30000; ++i) {
    s->record("p" + std::to_string(i), kSanctionTempban, kHour, kNow + kHour, "", "Op", kNow);
  }
  s->record("Gone", kSanctionBan, 0, std::nullopt, "", "Op", kNow);
  Sanctions& sanctions = restart(&BanIndex::fingerprint, false);
  ASSERT_TRUE(sanctions.loading());
  sanctions.record("Newcomer", kSanctionBan, 0, std::nullopt, "late", "Op", kNow);
  EXPECT_EQ(sanctions.lift({"gone"}, "", "Op", kNow), 1u);
  insertElsewhere("far", "far", kNow + kHour);
  EXPECT_EQ(sanctions.loadName("Far", kNow), "");
  EXPECT_TRUE(sanctions.activeBan("p29999", kNow)) << "asked of the database meanwhile";
  EXPECT_EQ(sanctions.awaitLoaded(kNow), "");
  EXPECT_FALSE(sanctions.loading());
  ASSERT_TRUE(sanctions.indexed());
  EXPECT_EQ(sanctions.activeBan("NEWCOMER", kNow)->reason, "late");
  EXPECT_FALSE(sanctions.activeBan("Gone", kNow));
  EXPECT_EQ(sanctions.activeBan("FAR", kNow)->actor, "Elsewhere");
  EXPECT_TRUE(sanctions.activeBan("p0", kNow));
  EXPECT_FALSE(sanctions.activeBan("p0", kNow + kHour)) << "ended";
}

// A ban recorded while a script's transaction keeps the queue from being
// written holds at once, from the queue, and is counted once when lifted.
TEST_F(SanctionsIndexTest, UnwrittenBansHoldAndAreCountedOnce) {
  Sanctions& sanctions = restart(&BanIndex::fingerprint, true);
  sanctions.record("Early", kSanctionBan, 0, std::nullopt, "written", "Op", kNow);
  EXPECT_FALSE(store_->flush());
  ASSERT_FALSE(database_->run("BEGIN", {}).error);  // the script's
  sanctions.record("Bob", kSanctionBan, 0, std::nullopt, "queued", "Op", kNow);
  sanctions.record("early", kSanctionTempban, kHour, kNow + kHour, "queued too", "Op", kNow);
  EXPECT_EQ(sanctions.activeBan("bob", kNow)->reason, "queued");
  EXPECT_EQ(sanctions.activeBans(kNow)->size(), 2u);
  EXPECT_EQ(sanctions.lift({"EARLY"}, "", "Op", kNow), 2u);
  EXPECT_FALSE(sanctions.activeBan("Early", kNow));
  ASSERT_FALSE(database_->run("COMMIT", {}).error);
  EXPECT_FALSE(store_->flush());
  EXPECT_EQ(sanctions.activeBan("BOB", kNow)->reason, "queued");
  EXPECT_FALSE(sanctions.activeBan("early", kNow));
}

// While the records cannot be read, the bans this run read or wrote hold
// still; one never read waits for the database.
TEST_F(SanctionsIndexTest, BansReadInThisRunHoldWhileTheRecordsCannotBeRead) {
  Sanctions& sanctions = restart(&BanIndex::fingerprint, true);
  insertElsewhere("seen", "seen", kNow + kHour);
  insertElsewhere("unseen", "unseen", kNow + kHour);
  EXPECT_EQ(sanctions.loadName("seen", kNow), "");
  EXPECT_EQ(sanctions.loadName("unseen", kNow), "");
  sanctions.record("Mine", kSanctionBan, 0, std::nullopt, "mine", "Op", kNow);
  EXPECT_FALSE(store_->flush());
  EXPECT_EQ(sanctions.activeBan("SEEN", kNow)->actor, "Elsewhere");
  ASSERT_FALSE(database_->run("ALTER TABLE gs_sanctions RENAME TO gs_away", {}).error);
  EXPECT_EQ(sanctions.activeBan("seen", kNow)->actor, "Elsewhere");
  EXPECT_EQ(sanctions.activeBan("mine", kNow)->reason, "mine");
  EXPECT_FALSE(sanctions.activeBan("unseen", kNow));
  EXPECT_FALSE(sanctions.activeBan("seen", kNow + kHour)) << "ended";
}

}  // namespace
}  // namespace gsadmin
