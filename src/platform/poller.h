#ifndef GSADMIN_PLATFORM_POLLER_H_
#define GSADMIN_PLATFORM_POLLER_H_

#include <poll.h>

#include <csignal>
#include <cstddef>
#include <initializer_list>
#include <vector>

namespace gsadmin {

// The one place the client's loop blocks: waits on several descriptors at
// once with a timeout. Does not own the descriptors.
class Poller {
 public:
  // Adds `fd` to the set and returns its index for readable().
  size_t watch(int fd) { return watchFor(fd, POLLIN); }
  // The same for the conditions in `events` (POLLIN, POLLOUT or both).
  size_t watchFor(int fd, short events);
  // Forgets every descriptor, keeping the storage for the next set.
  void clear() { entries_.clear(); }

  // Waits at most `timeoutMs` (0: just tests) until a watched descriptor is
  // readable or has an error pending; an interrupted wait waits again.
  // Returns the number of such descriptors, 0 on timeout or failure.
  int wait(int timeoutMs);

  // As wait(), but returns 0 at once when any of `flags` is non-zero, and
  // when a signal arrives during the wait. Signals are blocked between the
  // look at the flags and the wait, so a flag that a signal handler sets
  // after the look still ends the wait. A negative timeout waits without
  // limit.
  int waitUnless(int timeoutMs, std::initializer_list<const volatile std::sig_atomic_t*> flags);

  // After wait(): whether the descriptor at `index` was readable, or had an
  // error or hang-up that the next read reports (an ended pipe reads 0).
  bool readable(size_t index) const;
  // After wait(): the conditions the descriptor at `index` had (revents).
  short returned(size_t index) const;
  bool empty() const { return entries_.empty(); }

 private:
  std::vector<pollfd> entries_;
};

}  // namespace gsadmin

#endif  // GSADMIN_PLATFORM_POLLER_H_
