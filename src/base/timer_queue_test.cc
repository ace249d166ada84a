// The timer queue on hand-given times: order, intervals, repetitions and
// kills, also from inside a timer's own call.

#include "base/timer_queue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace gsadmin {
namespace {

// Runs the timers due at `now` and returns "name#id" for each call, in order.
// `during` runs inside every call.
std::vector<std::string> run(TimerQueue& queue, uint64_t now,
                             const std::function<void(int64_t)>& during = nullptr) {
  std::vector<std::string> calls;
  queue.runDue(now, [&](int64_t id, const std::string& name) {
    calls.push_back(name + "#" + std::to_string(id));
    if (during) during(id);
  });
  return calls;
}

using Calls = std::vector<std::string>;

TEST(TimerQueueTest, FiresInDueOrderThenIdOrder) {
  TimerQueue queue;
  EXPECT_EQ(queue.add("late", 30, 1, 0), 1);
  EXPECT_EQ(queue.add("b", 10, 1, 0), 2);
  EXPECT_EQ(queue.add("a", 10, 1, 0), 3);
  EXPECT_EQ(queue.nextDueMs(), 10u);
  EXPECT_EQ(run(queue, 9), Calls{});
  EXPECT_EQ(run(queue, 10), (Calls{"b#2", "a#3"}));
  EXPECT_EQ(queue.nextDueMs(), 30u);
  // Far behind: every due timer fires once, earliest first.
  queue.add("c", 5, 1, 20);
  EXPECT_EQ(run(queue, 100), (Calls{"c#4", "late#1"}));
  EXPECT_EQ(queue.size(), 0u);
  EXPECT_EQ(queue.nextDueMs(), std::nullopt);
}

TEST(TimerQueueTest, RepeatsItsTimesOnItsScheduleAndSkipsMissedSlots) {
  TimerQueue queue;
  queue.add("thrice", 10, 3, 0);
  queue.add("forever", 25, 0, 0);
  EXPECT_EQ(run(queue, 10), Calls{"thrice#1"});
  EXPECT_EQ(run(queue, 20), Calls{"thrice#1"});
  EXPECT_EQ(run(queue, 25), Calls{"forever#2"});
  EXPECT_EQ(run(queue, 30), Calls{"thrice#1"});
  EXPECT_EQ(run(queue, 40), Calls{});
  EXPECT_EQ(queue.size(), 1u);
  // Noticed 2 ms late: the next slot keeps the phase (75, not 77).
  EXPECT_EQ(run(queue, 52), Calls{"forever#2"});
  EXPECT_EQ(queue.nextDueMs(), 75u);
  // Many slots missed: one call, then the next slot after now.
  EXPECT_EQ(run(queue, 190), Calls{"forever#2"});
  EXPECT_EQ(queue.nextDueMs(), 200u);
}

TEST(TimerQueueTest, KillsStopTimersAlsoFromInsideACall) {
  TimerQueue queue;
  queue.add("self", 10, 0, 0);    // 1: kills itself
  queue.add("other", 10, 1, 0);   // 2: kills 3, due at the same time
  queue.add("victim", 10, 1, 0);  // 3
  queue.add("last", 10, 1, 0);    // 4: kills itself on its only call
  std::vector<bool> killed;
  EXPECT_EQ(run(queue, 10,
                [&](int64_t id) {
                  if (id == 1 || id == 4) killed.push_back(queue.kill(id));
                  if (id == 2) killed.push_back(queue.kill(3));
                }),
            (Calls{"self#1", "other#2", "last#4"}));
  EXPECT_EQ(killed, (std::vector<bool>{true, true, true}));
  EXPECT_EQ(queue.size(), 0u);
  EXPECT_FALSE(queue.kill(1));
  EXPECT_FALSE(queue.kill(99));
  EXPECT_FALSE(queue.kill(0));
}

TEST(TimerQueueTest, TimersAddedDuringARunWaitForTheirOwnTime) {
  TimerQueue queue;
  queue.add("adder", 10, 1, 0);
  EXPECT_EQ(run(queue, 10, [&](int64_t) { queue.add("added", 1, 1, 10); }), Calls{"adder#1"});
  EXPECT_EQ(queue.nextDueMs(), 11u);
  EXPECT_EQ(run(queue, 11), Calls{"added#2"});
  // Ids are not reused after a clear.
  queue.clear();
  EXPECT_EQ(queue.add("again", 1, 1, 0), 3);
}

TEST(TimerQueueTest, AStopEndsTheRunAndLeavesTheRestDueInOrder) {
  TimerQueue queue;
  for (int i = 0; i < 5; ++i) queue.add("t", 10, 0, 0);
  int calls = 0;
  auto stopAfterTwo = [&]() { return calls == 2; };
  queue.runDue(10, [&](int64_t, const std::string&) { ++calls; }, stopAfterTwo);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(queue.nextDueMs(), 10u);
  EXPECT_EQ(run(queue, 12), (Calls{"t#3", "t#4", "t#5"}));
  EXPECT_EQ(run(queue, 20), (Calls{"t#1", "t#2", "t#3", "t#4", "t#5"}));
}

TEST(TimerQueueTest, ManyTimersDueTogetherRunByDueTimeThenId) {
  TimerQueue queue;
  // Ids 1..1000 alternate between intervals 20 and 10; all are due at 20.
  for (int i = 0; i < 1000; ++i) queue.add("t", i % 2 == 0 ? 20 : 10, 0, 0);
  std::vector<int64_t> order;
  queue.runDue(10, [&](int64_t id, const std::string&) { order.push_back(id); });
  ASSERT_EQ(order.size(), 500u);
  EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
  order.clear();
  queue.runDue(20, [&](int64_t id, const std::string&) {
    order.push_back(id);
    if (id % 4 == 1) queue.kill(id + 2);  // not yet called: not called at all
  });
  ASSERT_EQ(order.size(), 750u);
  EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
  EXPECT_EQ(queue.size(), 750u);
  EXPECT_EQ(queue.nextDueMs(), 30u);
}

TEST(TimerQueueTest, RefusesTimersBeyondItsCapacity) {
  TimerQueue queue;
  for (size_t i = 0; i < TimerQueue::kMaxTimers; ++i) ASSERT_TRUE(queue.add("t", 1000, 1, 0));
  EXPECT_EQ(queue.add("one more", 1000, 1, 0), std::nullopt);
  EXPECT_TRUE(queue.kill(1));
  EXPECT_TRUE(queue.add("fits again", 1000, 1, 0).has_value());
}

}  // namespace
}  // namespace gsadmin
