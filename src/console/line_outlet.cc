#include "console/line_outlet.h"

#include <limits.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/thread_name.h"
#include "platform/write_all.h"

namespace gsadmin {
namespace {

// Whether a write to `fd` can wait for a reader: to a pipe, a socket or a
// terminal it can; to a file or a device such as /dev/null it cannot.
bool canWaitForReader(int fd) {
  struct stat status;
  if (::fstat(fd, &status) != 0) return true;
  if (S_ISREG(status.st_mode) || S_ISBLK(status.st_mode)) return false;
  return !S_ISCHR(status.st_mode) || ::isatty(fd) == 1;
}

// Whether a write of up to PIPE_BUF bytes to `fd` finishes without waiting
// for its reader. A reader gone (an error or a hang-up) counts: the write
// then fails at once.
bool hasRoom(int fd) {
  pollfd entry{fd, POLLOUT, 0};
  return ::poll(&entry, 1, 0) == 1 && entry.revents != 0;
}

}  // namespace

struct LineOutlet::Shared {
  struct WaitingLine {
    int fd;
    std::string bytes;
  };

  std::mutex mutex;
  std::condition_variable work;     // a line waits, or the outlet ends
  std::condition_variable drained;  // no line waits any more
  std::deque<WaitingLine> waiting;
  size_t waitingBytes = 0;
  bool ending = false;
  bool threadStarted = false;
  uint64_t dropped = 0;
  std::vector<std::pair<int, bool>> readerKinds;  // canWaitForReader() of each fd seen

  bool canWait(int fd) {
    for (const auto& [known, canWait] : readerKinds) {
      if (known == fd) return canWait;
    }
    readerKinds.emplace_back(fd, canWaitForReader(fd));
    return readerKinds.back().second;
  }

  // The thread: writes the waiting lines in order until the outlet ends.
  void run() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      work.wait(lock, [this] { return ending || !waiting.empty(); });
      if (waiting.empty()) return;
      // Only this thread removes lines, and adding one keeps this reference.
      WaitingLine& front = waiting.front();
      lock.unlock();
      writeAll(front.fd, front.bytes);  // a failed line is given up
      lock.lock();
      waitingBytes -= front.bytes.size();
      waiting.pop_front();
      if (waiting.empty()) drained.notify_all();
    }
  }
};

LineOutlet::LineOutlet(int exitPatienceMs)
    : shared_(std::make_shared<Shared>()), exitPatienceMs_(exitPatienceMs) {}

LineOutlet::~LineOutlet() {
  drain(exitPatienceMs_);
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->ending = true;
  shared_->work.notify_all();
}

void LineOutlet::write(int fd, std::string_view text) {
  std::string line;
  line.reserve(text.size() + 1);
  line.append(text);
  line.push_back('\n');
  std::lock_guard<std::mutex> lock(shared_->mutex);
  // The poll costs a system call a line: only where a reader can hold the write.
  if (shared_->waiting.empty() &&
      (!shared_->canWait(fd) || (line.size() <= PIPE_BUF && hasRoom(fd)))) {
    writeAll(fd, line);
    return;
  }
  if (shared_->waitingBytes + line.size() > kMaxWaitingBytes) {
    ++shared_->dropped;
    return;
  }
  shared_->waitingBytes += line.size();
  shared_->waiting.push_back(Shared::WaitingLine{fd, std::move(line)});
  if (!shared_->threadStarted) {
    shared_->threadStarted = true;
    // The thread keeps the shared state alive if it outlasts the outlet.
    std::thread([shared = shared_] {
      nameThisThread("console-out");
      shared->run();
    }).detach();
  }
  shared_->work.notify_one();
}

bool LineOutlet::drain(int timeoutMs) {
  std::unique_lock<std::mutex> lock(shared_->mutex);
  return shared_->drained.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [this] { return shared_->waiting.empty(); });
}

uint64_t LineOutlet::takeDropped() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  if (!shared_->waiting.empty()) return 0;
  uint64_t dropped = shared_->dropped;
  shared_->dropped = 0;
  return dropped;
}

}  // namespace gsadmin
