#ifndef GSADMIN_PANEL_LOOP_QUEUE_H_
#define GSADMIN_PANEL_LOOP_QUEUE_H_

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/clock.h"

namespace gsadmin {

// One piece of work handed to the loop, shared by its caller and the queue.
// It runs at most once, and only if the loop starts it by its deadline and
// nobody withdrew it first: once withdrawn it never runs, so a caller told
// "not done" can rely on it. Every method is safe from any thread.
class LoopTask {
 public:
  enum class State { kWaiting, kRunning, kDone, kWithdrawn };

  LoopTask(std::function<std::string()> work, uint64_t deadlineMs);
  LoopTask(const LoopTask&) = delete;
  LoopTask& operator=(const LoopTask&) = delete;

  State state();
  // Waits up to `timeout` for the work to end (done or withdrawn); the
  // state then.
  State waitFor(std::chrono::milliseconds timeout);
  // Waits until the work has ended, however long it runs. Only for work
  // that has started: the loop bounds its own work.
  State waitUntilEnded();
  // Withdraws the work unless it has started; true when it never will run.
  bool withdraw();
  // Withdraws the work when it is still waiting after its deadline; true
  // when it is withdrawn (now or before).
  bool withdrawIfLate(uint64_t nowMs);
  // The work's result once kDone; nothing when it threw.
  std::optional<std::string> result();

 private:
  friend class LoopQueue;
  // On the loop: runs the work unless it was withdrawn or `nowMs` is past
  // its deadline (then withdraws it).
  void runOrWithdraw(uint64_t nowMs);
  void end(State state, std::optional<std::string> result);

  std::mutex mutex_;
  std::condition_variable ended_;
  State state_ = State::kWaiting;
  std::function<std::string()> work_;  // released when the task ends
  const uint64_t deadlineMs_;
  std::optional<std::string> result_;
};

// Work that other threads hand to the session's loop, the one thread that
// may touch the model, the socket and the scripts. Any thread may post() or
// call(); the loop watches fd() in its one wait and calls runPending() when
// it is readable. The queue owns an eventfd, closed on destruction. The
// clock must outlive the queue and be safe to read from any thread.
class LoopQueue {
 public:
  // Pending work beyond this is refused at once, so that a flood of
  // requests cannot grow the queue or delay the loop without bound.
  static constexpr size_t kMaxPending = 256;

  explicit LoopQueue(Clock& clock);
  ~LoopQueue();
  LoopQueue(const LoopQueue&) = delete;
  LoopQueue& operator=(const LoopQueue&) = delete;

  // Whether the eventfd could be made; without it nothing is ever run.
  bool valid() const { return fd_ >= 0; }
  // Readable while work waits.
  int fd() const { return fd_; }

  // Hands `work` to the loop, to be started by `deadlineMs` on the clock or
  // never. Refused (the task comes back withdrawn) when the queue is full
  // or closed. Never blocks.
  std::shared_ptr<LoopTask> post(std::function<std::string()> work, uint64_t deadlineMs);

  // Hands `work` to the loop with a deadline of `timeout` and waits for it.
  // Its result; nothing when it was refused, not started within `timeout`
  // (it is then withdrawn and never runs) or threw. Work that started is
  // waited for until it ends. From any thread but the loop's.
  std::optional<std::string> call(std::function<std::string()> work,
                                  std::chrono::milliseconds timeout);

  // On the loop: starts every work waiting (not those queued while it runs)
  // whose deadline has not passed, withdraws the others, and answers their
  // callers. The number run.
  size_t runPending();

  // Withdraws the work waiting, whose callers learn it at once, and refuses
  // any later work. For the end of the loop.
  void close();

 private:
  // Under mutex_: drops the work already withdrawn or past its deadline,
  // which a full queue need not keep.
  void dropWithdrawn();

  Clock& clock_;
  std::mutex mutex_;
  std::deque<std::shared_ptr<LoopTask>> pending_;
  bool closed_ = false;
  int fd_ = -1;
  // Set after each post's wake-up, so that a pass of the loop with nothing
  // handed over costs neither a read of the eventfd nor a lock.
  std::atomic<bool> posted_{false};
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_LOOP_QUEUE_H_
