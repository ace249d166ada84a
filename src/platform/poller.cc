#include "platform/poller.h"

#include <signal.h>

#include <cerrno>
#include <ctime>

namespace gsadmin {

size_t Poller::watchFor(int fd, short events) {
  entries_.push_back({fd, events, 0});
  return entries_.size() - 1;
}

int Poller::wait(int timeoutMs) {
  for (pollfd& entry : entries_) entry.revents = 0;
  int ready;
  do {
    ready = ::poll(entries_.data(), entries_.size(), timeoutMs);
  } while (ready < 0 && errno == EINTR);
  return ready > 0 ? ready : 0;
}

int Poller::waitUnless(int timeoutMs,
                       std::initializer_list<const volatile std::sig_atomic_t*> flags) {
  for (pollfd& entry : entries_) entry.revents = 0;
  sigset_t all, previous;
  sigfillset(&all);
  sigprocmask(SIG_BLOCK, &all, &previous);
  bool raised = false;
  for (const volatile std::sig_atomic_t* flag : flags) raised = raised || (flag && *flag);
  int ready = 0;
  if (!raised) {
    timespec timeout{timeoutMs / 1000, static_cast<long>(timeoutMs % 1000) * 1000000L};
    // Waits with the caller's mask, so a pending signal interrupts it.
    ready =
        ::ppoll(entries_.data(), entries_.size(), timeoutMs < 0 ? nullptr : &timeout, &previous);
  }
  sigprocmask(SIG_SETMASK, &previous, nullptr);
  return ready > 0 ? ready : 0;
}

bool Poller::readable(size_t index) const {
  return index < entries_.size() &&
         (entries_[index].revents & (POLLIN | POLLERR | POLLHUP | POLLNVAL)) != 0;
}

short Poller::returned(size_t index) const {
  return index < entries_.size() ? entries_[index].revents : 0;
}

}  // namespace gsadmin
