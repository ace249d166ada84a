#ifndef GSADMIN_PANEL_LOOP_QUEUE_H_
#define GSADMIN_PANEL_LOOP_QUEUE_H_

#include <atomic>
#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace gsadmin {

// Work that other threads hand to the session's loop, the one thread that
// may touch the model, the socket and the scripts. Any thread may call();
// the loop watches fd() in its one wait and calls runPending() when it is
// readable. The queue owns an eventfd, closed on destruction.
class LoopQueue {
 public:
  // Pending calls beyond this are refused at once, so that a flood of
  // requests cannot grow the queue or delay the loop without bound.
  static constexpr size_t kMaxPending = 256;

  LoopQueue();
  ~LoopQueue();
  LoopQueue(const LoopQueue&) = delete;
  LoopQueue& operator=(const LoopQueue&) = delete;

  // Whether the eventfd could be made; without it nothing is ever run.
  bool valid() const { return fd_ >= 0; }
  // Readable while work waits.
  int fd() const { return fd_; }

  // Hands `work` to the loop and waits until it has run, at most
  // `timeout`. Its result; nothing when the queue is full or closed, the
  // wait timed out (the work may still run later, its result then
  // dropped) or the work was dropped unrun by close(). From any thread but
  // the loop's.
  std::optional<std::string> call(std::function<std::string()> work,
                                  std::chrono::milliseconds timeout);

  // On the loop: runs every work waiting (not those queued while it runs)
  // and answers their callers. The number run.
  size_t runPending();

  // Drops the work waiting, whose callers get nothing at once, and refuses
  // any later call. For the end of the loop.
  void close();

 private:
  struct Call;
  std::mutex mutex_;
  std::deque<std::function<void()>> pending_;
  bool closed_ = false;
  int fd_ = -1;
  // Set after each post's wake-up, so that a pass of the loop with nothing
  // handed over costs neither a read of the eventfd nor a lock.
  std::atomic<bool> posted_{false};
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_LOOP_QUEUE_H_
