#ifndef GSADMIN_PANEL_HASHING_POOL_H_
#define GSADMIN_PANEL_HASHING_POOL_H_

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace gsadmin {

// Runs the password checks of the panel on kThreads threads of its own, so
// that however many requests come at once only kThreads hashings take their
// memory (19 MiB each), and after each one the freed memory goes back to
// the system rather than staying with a thread. The threads block every
// signal, which the loop's thread takes.
class HashingPool {
 public:
  static constexpr size_t kThreads = 2;
  // Checks waiting at once, besides the urgent ones; more are refused.
  static constexpr size_t kMaxWaiting = 32;

  enum class Outcome {
    kTrue,     // the work ran and said true
    kFalse,    // the work ran and said false
    kNotRun,   // too many waiting, stopped, or the wait ended first: never run
    kTooLate,  // it runs or ran, but the wait ended before its outcome
  };

  HashingPool();
  // Ends the threads after the work they run; waiting work never runs.
  ~HashingPool();
  HashingPool(const HashingPool&) = delete;
  HashingPool& operator=(const HashingPool&) = delete;

  // Runs `work` on one of the pool's threads and waits at most `wait` for
  // its outcome. `urgent` work runs before the rest and is never refused
  // for the number waiting (the caller bounds it). Work the wait gave up on
  // is withdrawn if it has not begun.
  Outcome run(std::function<bool()> work, bool urgent, std::chrono::milliseconds wait);
  // The work queued and not yet begun.
  size_t waiting();

 private:
  struct Job {
    std::function<bool()> work;
    enum class State { kWaiting, kRunning, kDone } state = State::kWaiting;
    bool result = false;
  };

  void serve();
  // Removes `job` from the queues; false when it was not there.
  bool withdraw(const std::shared_ptr<Job>& job);

  std::mutex mutex_;
  std::condition_variable wake_;      // work came, or the pool stops
  std::condition_variable finished_;  // a job is done, or the pool stops
  std::deque<std::shared_ptr<Job>> urgent_;
  std::deque<std::shared_ptr<Job>> waiting_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_HASHING_POOL_H_
