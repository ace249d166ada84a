#include "panel/hashing_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <semaphore>
#include <thread>
#include <vector>

namespace gsadmin {
namespace {

using std::chrono::milliseconds;
using Outcome = HashingPool::Outcome;

constexpr milliseconds kLongWait{20000};

TEST(HashingPoolTest, RunsOnAtMostTwoThreadsAndAnswersEachCaller) {
  HashingPool pool;
  std::atomic<int> running{0}, most{0};
  std::atomic<int> trues{0}, falses{0};
  std::vector<std::thread> callers;
  for (int i = 0; i < 12; ++i) {
    callers.emplace_back([&, i]() {
      auto work = [&, i]() {
        int now = ++running;
        for (int seen = most; now > seen && !most.compare_exchange_weak(seen, now);) {
        }
        std::this_thread::sleep_for(milliseconds(5));
        --running;
        return i % 2 == 0;
      };
      (pool.run(work, false, kLongWait) == Outcome::kTrue ? trues : falses)++;
    });
  }
  for (std::thread& caller : callers) caller.join();
  EXPECT_LE(most, static_cast<int>(HashingPool::kThreads));
  EXPECT_EQ(trues, 6);
  EXPECT_EQ(falses, 6);
}

// The pool with both threads held until release() and work queued behind.
class BusyPoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (size_t i = 0; i < HashingPool::kThreads; ++i) {
      threads_.emplace_back([this]() {
        pool_.run(
            [this]() {
              ++began_;
              gate_.acquire();
              return true;
            },
            false, kLongWait);
      });
    }
    while (began_ < static_cast<int>(HashingPool::kThreads)) std::this_thread::yield();
  }
  void TearDown() override {
    release();
    for (std::thread& thread : threads_) thread.join();
  }
  // Lets `count` held jobs end, or all that still hold.
  void release(int count = static_cast<int>(HashingPool::kThreads)) {
    count = std::min(count, static_cast<int>(HashingPool::kThreads) - released_);
    released_ += count;
    gate_.release(count);
  }
  // Queues work that records `mark` when it runs.
  void queue(int mark, bool urgent) {
    threads_.emplace_back([this, mark, urgent]() {
      pool_.run(
          [this, mark]() {
            std::lock_guard<std::mutex> lock(mutex_);
            order_.push_back(mark);
            return true;
          },
          urgent, kLongWait);
    });
  }
  void waitUntilWaiting(size_t count) {
    while (pool_.waiting() != count) std::this_thread::yield();
  }

  HashingPool pool_;
  std::counting_semaphore<HashingPool::kThreads> gate_{0};
  std::atomic<int> began_{0};
  int released_ = 0;
  std::mutex mutex_;
  std::vector<int> order_;
  std::vector<std::thread> threads_;
};

TEST_F(BusyPoolTest, WorkWhoseCallerGaveUpNeverRuns) {
  std::atomic<bool> ran{false};
  EXPECT_EQ(pool_.run([&]() { return ran = true; }, false, milliseconds(20)), Outcome::kNotRun);
  EXPECT_EQ(pool_.waiting(), 0u);
  EXPECT_EQ(pool_.run([]() { return true; }, false, milliseconds(0)), Outcome::kNotRun);
  release();
  EXPECT_EQ(pool_.run([]() { return true; }, false, kLongWait), Outcome::kTrue);
  EXPECT_FALSE(ran);
}

TEST_F(BusyPoolTest, AFullQueueRefusesAtOnceButUrgentWorkGoesFirst) {
  for (size_t i = 0; i < HashingPool::kMaxWaiting; ++i) queue(0, false);
  waitUntilWaiting(HashingPool::kMaxWaiting);
  EXPECT_EQ(pool_.run([]() { return true; }, false, kLongWait), Outcome::kNotRun) << "full";
  queue(1, true);
  waitUntilWaiting(HashingPool::kMaxWaiting + 1);
  release(1);  // one thread takes the queued work in order
  while (pool_.waiting() != 0) std::this_thread::yield();
  release();
  for (std::thread& thread : threads_) thread.join();
  threads_.clear();
  ASSERT_EQ(order_.size(), HashingPool::kMaxWaiting + 1);
  EXPECT_EQ(order_[0], 1);
}

}  // namespace
}  // namespace gsadmin
