#include "platform/poller.h"

#include <cerrno>

namespace gsadmin {

size_t Poller::watch(int fd) {
  entries_.push_back({fd, POLLIN, 0});
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

bool Poller::readable(size_t index) const {
  return index < entries_.size() && (entries_[index].revents & (POLLIN | POLLERR | POLLHUP | POLLNVAL)) != 0;
}

}  // namespace gsadmin
