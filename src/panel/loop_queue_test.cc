#include "panel/loop_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/poller.h"

namespace gsadmin {
namespace {

using std::chrono::milliseconds;

// Long enough never to pass on a slow machine; a broken hand-off hangs
// here rather than failing by chance.
constexpr milliseconds kPatient{60000};

TEST(LoopQueueTest, AThreadsWorkRunsOnTheLoopWokenThroughTheEventfd) {
  LoopQueue queue;
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

TEST(LoopQueueTest, ACallerGivesUpAfterItsTimeoutAndTheLateResultIsDropped) {
  LoopQueue queue;
  std::atomic<bool> ran{false};
  EXPECT_FALSE(queue.call(
      [&]() {
        ran = true;
        return "late";
      },
      milliseconds(1)));
  // The work still runs when the loop comes to it, answering no one.
  EXPECT_EQ(queue.runPending(), 1u);
  EXPECT_TRUE(ran);
}

TEST(LoopQueueTest, CloseAnswersTheWaitingCallersAtOnceAndRefusesLaterOnes) {
  LoopQueue queue;
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
}

TEST(LoopQueueTest, AFullQueueRefusesMoreWork) {
  LoopQueue queue;
  int runs = 0;
  // Each caller gives up at once; its work stays queued.
  for (size_t i = 0; i < LoopQueue::kMaxPending + 5; ++i) {
    queue.call(
        [&runs]() {
          ++runs;
          return "";
        },
        milliseconds(0));
  }
  EXPECT_EQ(queue.runPending(), LoopQueue::kMaxPending);
  EXPECT_EQ(runs, static_cast<int>(LoopQueue::kMaxPending));
}

}  // namespace
}  // namespace gsadmin
