#include "panel/stream_limits.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace gsadmin {
namespace {

TEST(StreamLimitsTest, CapsEachSessionEachAccountAndAll) {
  StreamLimits limits;
  std::vector<std::unique_ptr<StreamLimits::Place>> places;
  StreamLimits::Refusal refusal;
  // Session s0 of account a0: four, then refused for the session.
  for (size_t i = 0; i < kMaxStreamsPerSession; ++i) {
    places.push_back(limits.take("s0", "a0", &refusal));
    ASSERT_TRUE(places.back());
  }
  EXPECT_FALSE(limits.take("s0", "a0", &refusal));
  EXPECT_EQ(refusal.status, 429);
  EXPECT_STREQ(refusal.message, "too many open streams for this session");
  // More sessions of a0 up to the account's cap.
  for (size_t i = kMaxStreamsPerSession; i < kMaxStreamsPerAccount; ++i) {
    places.push_back(
        limits.take("s" + std::to_string(1 + i / kMaxStreamsPerSession), "a0", &refusal));
    ASSERT_TRUE(places.back()) << i;
  }
  EXPECT_FALSE(limits.take("fresh", "a0", &refusal));
  EXPECT_STREQ(refusal.message, "too many open streams for this account");
  // Other accounts up to the cap on all streams.
  for (size_t i = kMaxStreamsPerAccount; i < kMaxStreams; ++i) {
    places.push_back(limits.take("t" + std::to_string(i), "b" + std::to_string(i), &refusal));
    ASSERT_TRUE(places.back()) << i;
  }
  EXPECT_EQ(limits.open(), kMaxStreams);
  EXPECT_FALSE(limits.take("late", "late", &refusal));
  EXPECT_EQ(refusal.status, 503);
  // A place given back is free again, for its session too.
  places.erase(places.begin());
  EXPECT_TRUE(limits.take("s0", "a0", &refusal));
  places.clear();
  EXPECT_EQ(limits.open(), 0u);
}

TEST(StreamLimitsTest, OnlyTheRoutesOwnSpellingIsAStream) {
  struct Case {
    const char* method;
    const char* target;
    bool stream;
  };
  for (const Case& c : {Case{"GET", "/api/events", true}, Case{"GET", "/api/events?x=1", true},
                        Case{"POST", "/api/events", false}, Case{"GET", "/api/eventsx", false},
                        Case{"GET", "/api/%65vents", false}, Case{"GET", "/api/events/", false},
                        Case{"GET", "//api/events", false}}) {
    EXPECT_EQ(isEventsRequest(c.method, c.target), c.stream) << c.method << " " << c.target;
  }
}

}  // namespace
}  // namespace gsadmin
