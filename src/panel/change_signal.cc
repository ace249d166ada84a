#include "panel/change_signal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace gsadmin {

ChangeSignal::ChangeSignal() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

ChangeSignal::~ChangeSignal() {
  if (fd_ >= 0) close(fd_);
}

void ChangeSignal::notify() {
  if (listening_ && !rung_.exchange(true)) ring();
}

void ChangeSignal::stop() {
  stopped_ = true;
  rung_ = true;
  ring();
}

bool ChangeSignal::clear() {
  // Read first: a notify() between the two finds the flag still set and
  // adds nothing the hub would not see when it looks after this.
  uint64_t count = 0;
  bool rang = read(fd_, &count, sizeof count) == sizeof count;
  if (!stopped_) rung_ = false;
  return rang;
}

void ChangeSignal::ring() {
  uint64_t one = 1;
  ssize_t ignored = write(fd_, &one, sizeof one);
  (void)ignored;
}

}  // namespace gsadmin
