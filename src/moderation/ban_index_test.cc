// The compact index of the bans: ends by fingerprint that only rise, are
// pruned once past, and never answer "no ban" for one that holds.

#include "moderation/ban_index.h"

#include <gtest/gtest.h>

#include <string>

namespace gsadmin {
namespace {

constexpr int64_t kNow = 1796731200;

uint32_t sameForAll(std::string_view) {
  return 0;
}

TEST(EndTableTest, EndsRiseNeverFallAndArePrunedOncePast) {
  struct Step {
    uint32_t fingerprint;
    uint32_t end;
    uint32_t held;  // endOf(fingerprint) afterwards
  };
  const Step steps[] = {
      {7, 100, 100}, {7, 50, 100},  // a shorter one leaves the longer
      {7, 200, 200}, {0, 30, 30},   // fingerprint 0 is a key like any
      {1, 40, 40},                  // ... held as 1: one with it
  };
  EndTable table;
  for (const Step& step : steps) {
    table.raise(step.fingerprint, step.end);
    EXPECT_EQ(table.endOf(step.fingerprint), step.held) << step.fingerprint << " " << step.end;
  }
  EXPECT_EQ(table.size(), 2u);
  EXPECT_EQ(table.endOf(8), 0u);
  EXPECT_EQ(table.prune(0, 1000, 40), 0u) << "one sweep of a small table";
  EXPECT_EQ(table.endOf(1), 0u);
  EXPECT_EQ(table.endOf(7), 200u);
}

// Many entries, collisions of their homes and removals in the middle of
// runs (and across the end of the table): every survivor is still found.
TEST(EndTableTest, PruningKeepsEveryLaterEndFindable) {
  EndTable table;
  constexpr uint32_t kCount = 100000;
  for (uint32_t i = 1; i <= kCount; ++i) table.raise(i * 2654435761u, i);
  EXPECT_EQ(table.size(), kCount);
  EXPECT_LE(table.bytes(), kCount * 8 * 5 / 3 + 64 * 8) << "8 bytes a slot, 3 in 5 used";
  size_t cursor = 0;
  do {
    cursor = table.prune(cursor, 1000, kCount / 2);
  } while (cursor != 0);
  EXPECT_EQ(table.size(), kCount / 2);
  for (uint32_t i = 1; i <= kCount; ++i) {
    ASSERT_EQ(table.endOf(i * 2654435761u), i > kCount / 2 ? i : 0u) << i;
  }
  do {
    cursor = table.prune(cursor, 1 << 20, kCount);
  } while (cursor != 0);
  EXPECT_EQ(table.size(), 0u);
  EXPECT_LE(table.bytes(), 64u * 8) << "shrunk once mostly empty";
}

TEST(BanIndexTest, EndsAndMomentsKeepEveryBanThatHolds) {
  struct Case {
    std::optional<int64_t> until;
    int64_t now;
  };
  // Whenever until > now the index must say "may hold".
  const Case holding[] = {
      {std::nullopt, kNow},
      {kNow + 1, kNow},
      {1, 0},
      {1, -5},
      {0, -1},
      {int64_t{1} << 40, kNow},
      {INT64_MAX, UINT32_MAX},
      {int64_t{UINT32_MAX} + 1, UINT32_MAX},
  };
  for (const Case& c : holding) {
    EXPECT_GT(BanIndex::endOf(c.until), BanIndex::momentOf(c.now))
        << c.until.value_or(-1) << " " << c.now;
  }
  EXPECT_LE(BanIndex::endOf(kNow), BanIndex::momentOf(kNow)) << "ended at its until";
}

TEST(BanIndexTest, KeysAndSkeletonsAnswerApartAndCollisionsOnlyAddHints) {
  for (BanIndex::Hash hash : {&BanIndex::fingerprint, &sameForAll}) {
    bool colliding = hash == &sameForAll;
    BanIndex index(hash);
    index.raise("eve", "eve", kNow + 60);
    index.raise("bob", "bob", std::nullopt);
    EXPECT_TRUE(index.mayHoldKey("eve", kNow + 59));
    EXPECT_FALSE(index.mayHoldKey("eve", kNow + 60) && !colliding);
    EXPECT_TRUE(index.mayHoldSkeleton("bob", kNow + 1000000));
    EXPECT_EQ(index.mayHoldKey("ann", kNow), colliding);
    EXPECT_EQ(index.mayHoldSkeleton("ann", kNow), colliding);
    EXPECT_GT(index.bytes(), 0u);
    while (!index.prune(kNow + 60)) {
    }
    EXPECT_FALSE(index.mayHoldKey("eve", kNow + 60) && !colliding);
    EXPECT_TRUE(index.mayHoldKey("bob", kNow + 60));
    EXPECT_EQ(index.keys(), 1u) << "eve pruned; bob never ends";
  }
}

}  // namespace
}  // namespace gsadmin
