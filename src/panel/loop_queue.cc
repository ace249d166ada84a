#include "panel/loop_queue.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>

namespace gsadmin {

// What a caller waits on. The work item holds it through a Holder whose
// destruction, when the work never ran, wakes the caller at once.
struct LoopQueue::Call {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  std::optional<std::string> result;

  void finish(std::optional<std::string> value) {
    std::lock_guard<std::mutex> lock(mutex);
    if (finished) return;
    finished = true;
    result = std::move(value);
    done.notify_all();
  }
};

namespace {

// Ends its call unanswered when destroyed unrun.
struct Holder {
  std::function<void(std::optional<std::string>)> finish;
  ~Holder() { finish(std::nullopt); }
};

}  // namespace

LoopQueue::LoopQueue() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

LoopQueue::~LoopQueue() {
  close();
  if (fd_ >= 0) ::close(fd_);
}

std::optional<std::string> LoopQueue::call(std::function<std::string()> work,
                                           std::chrono::milliseconds timeout) {
  auto call = std::make_shared<Call>();
  auto holder = std::make_shared<Holder>();
  holder->finish = [call](std::optional<std::string> value) { call->finish(std::move(value)); };
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || fd_ < 0 || pending_.size() >= kMaxPending) return std::nullopt;
    pending_.push_back([holder, work = std::move(work)]() {
      // The loop goes on whatever one piece of work does.
      try {
        holder->finish(work());
      } catch (const std::exception&) {
        holder->finish(std::nullopt);
      }
    });
  }
  holder.reset();  // the queue's copy is the only one now
  uint64_t one = 1;
  while (write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
  posted_.store(true);
  std::unique_lock<std::mutex> lock(call->mutex);
  call->done.wait_for(lock, timeout, [&call]() { return call->finished; });
  return call->finished ? std::move(call->result) : std::nullopt;
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
  std::deque<std::function<void()>> taken;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    taken.swap(pending_);
  }
  for (std::function<void()>& work : taken) work();
  return taken.size();
}

void LoopQueue::close() {
  std::deque<std::function<void()>> dropped;
  std::lock_guard<std::mutex> lock(mutex_);
  closed_ = true;
  dropped.swap(pending_);
  // The dropped work's holders wake their callers as `dropped` goes.
}

}  // namespace gsadmin
