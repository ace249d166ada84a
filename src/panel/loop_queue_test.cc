#include "panel/loop_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/poller.h"
#include "support/manual_clock.h"

namespace gsadmin {
namespace {

using std::chrono::milliseconds;
using State = LoopTask::State;

// Long enough never to pass on a slow machine; a broken hand-off hangs
// here rather than failing by chance.
constexpr milliseconds kPatient{60000};

TEST(LoopQueueTest, AThreadsWorkRunsOnTheLoopWokenThroughTheEventfd) {
  ManualClock clock;
  LoopQueue queue(clock);
  ASSERT_TRUE(queue.valid());
  std::thread::id loopThread = std::this_thread::get_id();
  std::optional<std::string> answer;
  std::thread caller([&]() {
    answer = queue.call(
        [&]() { return std::this_thread::get_id() == loopThread ? "on the loop" : "elsewhere"; },
        kPatient);
  });
  Poller poller;
  poller.watch(queue.fd());
  size_t ran = 0;
  while (ran == 0) {
    ASSERT_GT(poller.wait(static_cast<int>(kPatient.count())), 0);
    ASSERT_TRUE(poller.readable(0));
    ran = queue.runPending();
  }
  caller.join();
  EXPECT_EQ(answer, "on the loop");
  // The wake-up was read: nothing is readable until more work comes.
  EXPECT_EQ(poller.wait(0), 0);
}

TEST(LoopQueueTest, WorkWhoseCallerGaveUpNeverRuns) {
  ManualClock clock;
  LoopQueue queue(clock);
  std::atomic<bool> ran{false};
  EXPECT_FALSE(queue.call(
      [&]() {
        ran = true;
        return "late";
      },
      milliseconds(1)));
  EXPECT_EQ(queue.runPending(), 0u);
  EXPECT_FALSE(ran);
}

TEST(LoopQueueTest, WorkTheLoopReachesAfterItsDeadlineIsWithdrawnUnrun) {
  const struct {
    uint64_t deadlineMs;  // after the clock's start, 1000
    bool runs;            // when the loop comes at 1100
  } cases[] = {{50, false}, {99, false}, {100, true}, {5000, true}};
  ManualClock clock(1000);
  LoopQueue queue(clock);
  std::vector<std::shared_ptr<LoopTask>> tasks;
  std::vector<int> ran;
  for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
    tasks.push_back(queue.post(
        [&ran, i]() {
          ran.push_back(i);
          return "ran";
        },
        1000 + cases[i].deadlineMs));
  }
  clock.advance(100);
  EXPECT_EQ(queue.runPending(), 2u);
  EXPECT_EQ(ran, (std::vector<int>{2, 3}));
  for (size_t i = 0; i < tasks.size(); ++i) {
    // Its caller learns at once, and for good.
    EXPECT_EQ(tasks[i]->waitFor(milliseconds(0)), cases[i].runs ? State::kDone : State::kWithdrawn)
        << i;
    EXPECT_EQ(tasks[i]->result(), cases[i].runs ? std::optional<std::string>("ran") : std::nullopt);
    EXPECT_EQ(tasks[i]->withdraw(), !cases[i].runs) << i;
  }
}

TEST(LoopQueueTest, WorkThatStartedIsNeitherWithdrawnNorLateAndItsEndIsWaitedFor) {
  ManualClock clock;
  LoopQueue queue(clock);
  std::shared_ptr<LoopTask> self;
  bool withdrawnWhileRunning = true;
  self = queue.post(
      [&]() {
        clock.advance(10000);  // long past its deadline, but started in time
        withdrawnWhileRunning = self->withdraw() || self->withdrawIfLate(clock.nowMs());
        EXPECT_EQ(self->state(), State::kRunning);
        return "finished";
      },
      clock.nowMs() + 5);
  EXPECT_EQ(self->state(), State::kWaiting);
  EXPECT_EQ(queue.runPending(), 1u);
  EXPECT_FALSE(withdrawnWhileRunning);
  EXPECT_EQ(self->waitUntilEnded(), State::kDone);
  EXPECT_EQ(self->result(), "finished");
}

TEST(LoopQueueTest, CloseAnswersTheWaitingCallersAtOnceAndRefusesLaterOnes) {
  ManualClock clock;
  LoopQueue queue(clock);
  std::optional<std::string> answer = "unset";
  std::atomic<bool> returned{false};
  std::thread caller([&]() {
    answer = queue.call([]() { return "never"; }, kPatient);
    returned = true;
  });
  Poller poller;
  poller.watch(queue.fd());
  ASSERT_GT(poller.wait(static_cast<int>(kPatient.count())), 0);  // the work is queued
  queue.close();
  caller.join();
  EXPECT_TRUE(returned);
  EXPECT_FALSE(answer);
  EXPECT_EQ(queue.runPending(), 0u);
  EXPECT_FALSE(queue.call([]() { return "refused"; }, kPatient));
  EXPECT_EQ(queue.post([]() { return "refused"; }, clock.nowMs() + 1000)->state(),
            State::kWithdrawn);
}

TEST(LoopQueueTest, AFullQueueRefusesMoreWorkButNotForWorkNobodyWaitsFor) {
  ManualClock clock;
  LoopQueue queue(clock);
  int runs = 0;
  auto count = [&runs]() {
    ++runs;
    return "";
  };
  std::vector<std::shared_ptr<LoopTask>> tasks;
  for (size_t i = 0; i < LoopQueue::kMaxPending; ++i) {
    tasks.push_back(queue.post(count, clock.nowMs() + 1000));
  }
  EXPECT_EQ(queue.post(count, clock.nowMs() + 1000)->state(), State::kWithdrawn) << "full";
  // Withdrawn work, and work past its deadline, leave room at once.
  tasks[0]->withdraw();
  EXPECT_EQ(queue.post(count, clock.nowMs() + 5000)->state(), State::kWaiting);
  clock.advance(2000);
  EXPECT_EQ(queue.post(count, clock.nowMs() + 1000)->state(), State::kWaiting);
  EXPECT_EQ(tasks[1]->state(), State::kWithdrawn);
  EXPECT_EQ(queue.runPending(), 2u);
  EXPECT_EQ(runs, 2);
}

}  // namespace
}  // namespace gsadmin
