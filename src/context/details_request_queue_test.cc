// The details requests of joins: what each pass of the loop takes, around
// the moment the earliest is due.

#include "context/details_request_queue.h"

#include <gtest/gtest.h>

#include <vector>

namespace gsadmin {
namespace {

struct Pass {
  uint64_t nowMs;
  std::vector<uint8_t> taken;
  size_t left;
};

TEST(DetailsRequestQueueTest, EachPassTakesWhatIsDueAndLeavesTheRest) {
  DetailsRequestQueue queue;
  EXPECT_TRUE(queue.takeDue(1000).empty());  // nothing waits
  queue.schedule(7, 100);
  queue.schedule(3, 100);
  queue.schedule(9, 250);
  queue.schedule(4, 250);
  const Pass passes[] = {
      {0, {}, 4},                      // none due yet
      {99, {}, 4},                     // just before the earliest
      {100, {7, 3}, 2}, {100, {}, 2},  // taken once
      {249, {}, 2},     {250, {9, 4}, 0}, {5000, {}, 0},
  };
  for (const Pass& pass : passes) {
    EXPECT_EQ(queue.takeDue(pass.nowMs), pass.taken) << "at " << pass.nowMs;
    EXPECT_EQ(queue.size(), pass.left) << "at " << pass.nowMs;
  }
  EXPECT_EQ(queue.nextDueMs(), std::nullopt);
}

}  // namespace
}  // namespace gsadmin
