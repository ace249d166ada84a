#include "panel/chart_cache.h"

#include <gtest/gtest.h>

#include "support/manual_clock.h"

namespace gsadmin {
namespace {

TEST(ChartCacheTest, AnAnswerIsKeptAMinuteForItsRangeAlone) {
  ManualClock clock;
  ChartCache cache(clock);
  EXPECT_EQ(cache.find("day"), std::nullopt);
  cache.store("day", "{\"day\":1}");
  EXPECT_EQ(cache.find("day"), "{\"day\":1}");
  EXPECT_EQ(cache.find("hour"), std::nullopt) << "ranges are kept apart";

  clock.advance(ChartCache::kKeepMs - 1);
  EXPECT_EQ(cache.find("day"), "{\"day\":1}");
  cache.store("hour", "{\"hour\":1}");
  clock.advance(1);
  EXPECT_EQ(cache.find("day"), std::nullopt) << "a minute old";
  EXPECT_EQ(cache.find("hour"), "{\"hour\":1}");

  // A new answer starts its own minute.
  cache.store("day", "{\"day\":2}");
  clock.advance(ChartCache::kKeepMs - 1);
  EXPECT_EQ(cache.find("day"), "{\"day\":2}");
  EXPECT_EQ(cache.find("hour"), std::nullopt);
}

}  // namespace
}  // namespace gsadmin
