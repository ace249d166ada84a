#include "panel/loop_queue.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>

namespace gsadmin {

LoopTask::LoopTask(std::function<std::string()> work, uint64_t deadlineMs)
    : work_(std::move(work)), deadlineMs_(deadlineMs) {}

LoopTask::State LoopTask::state() {
  std::lock_guard<std::mutex> lock(mutex_);
  return state_;
}

LoopTask::State LoopTask::waitFor(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  ended_.wait_for(lock, timeout,
                  [this]() { return state_ == State::kDone || state_ == State::kWithdrawn; });
  return state_;
}

LoopTask::State LoopTask::waitUntilEnded() {
  std::unique_lock<std::mutex> lock(mutex_);
  ended_.wait(lock, [this]() { return state_ == State::kDone || state_ == State::kWithdrawn; });
  return state_;
}

bool LoopTask::withdraw() {
  std::function<std::string()> released;
  std::lock_guard<std::mutex> lock(mutex_);
  if (state_ == State::kWaiting) {
    state_ = State::kWithdrawn;
    released.swap(work_);
    ended_.notify_all();
  }
  return state_ == State::kWithdrawn;
}

bool LoopTask::withdrawIfLate(uint64_t nowMs) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_ != State::kWaiting || nowMs <= deadlineMs_) return state_ == State::kWithdrawn;
  }
  return withdraw();
}

std::optional<std::string> LoopTask::result() {
  std::lock_guard<std::mutex> lock(mutex_);
  return result_;
}

void LoopTask::runOrWithdraw(uint64_t nowMs) {
  std::function<std::string()> work;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_ != State::kWaiting) return;
    if (nowMs > deadlineMs_) {
      state_ = State::kWithdrawn;
      ended_.notify_all();
      work.swap(work_);  // released outside the lock, unrun
      return;
    }
    state_ = State::kRunning;
    work.swap(work_);
  }
  // The loop goes on whatever one piece of work does.
  try {
    end(State::kDone, work());
  } catch (const std::exception&) {
    end(State::kDone, std::nullopt);
  }
}

void LoopTask::end(State state, std::optional<std::string> result) {
  std::lock_guard<std::mutex> lock(mutex_);
  state_ = state;
  result_ = std::move(result);
  ended_.notify_all();
}

LoopQueue::LoopQueue(Clock& clock) : clock_(clock), fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

LoopQueue::~LoopQueue() {
  close();
  if (fd_ >= 0) ::close(fd_);
}

std::shared_ptr<LoopTask> LoopQueue::post(std::function<std::string()> work, uint64_t deadlineMs) {
  auto task = std::make_shared<LoopTask>(std::move(work), deadlineMs);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!closed_ && fd_ >= 0 && pending_.size() >= kMaxPending) dropWithdrawn();
    if (closed_ || fd_ < 0 || pending_.size() >= kMaxPending) {
      task->withdraw();
      return task;
    }
    pending_.push_back(task);
  }
  uint64_t one = 1;
  while (write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
  posted_.store(true);
  return task;
}

std::optional<std::string> LoopQueue::call(std::function<std::string()> work,
                                           std::chrono::milliseconds timeout) {
  uint64_t deadline = clock_.nowMs() + static_cast<uint64_t>(std::max<int64_t>(timeout.count(), 0));
  std::shared_ptr<LoopTask> task = post(std::move(work), deadline);
  LoopTask::State state = task->waitFor(timeout);
  // The caller gives up on work not yet started, which then never runs.
  if (state == LoopTask::State::kWaiting && task->withdraw()) return std::nullopt;
  if (task->waitUntilEnded() != LoopTask::State::kDone) return std::nullopt;
  return task->result();
}

size_t LoopQueue::runPending() {
  // Taken before the eventfd is read: a post whose flag comes later leaves
  // it set, and the next pass looks again.
  if (!posted_.exchange(false)) return 0;
  uint64_t count = 0;
  if (fd_ >= 0) {
    while (read(fd_, &count, sizeof count) < 0 && errno == EINTR) {
    }
  }
  std::deque<std::shared_ptr<LoopTask>> taken;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    taken.swap(pending_);
  }
  size_t ran = 0;
  for (const std::shared_ptr<LoopTask>& task : taken) {
    // Each against the time it is reached: earlier work may have taken long.
    task->runOrWithdraw(clock_.nowMs());
    if (task->state() == LoopTask::State::kDone) ++ran;
  }
  return ran;
}

void LoopQueue::close() {
  std::deque<std::shared_ptr<LoopTask>> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    dropped.swap(pending_);
  }
  for (const std::shared_ptr<LoopTask>& task : dropped) task->withdraw();
}

void LoopQueue::dropWithdrawn() {
  uint64_t now = clock_.nowMs();
  std::erase_if(pending_,
                [now](const std::shared_ptr<LoopTask>& task) { return task->withdrawIfLate(now); });
}

}  // namespace gsadmin
