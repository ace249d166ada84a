#ifndef GSADMIN_PANEL_CHANGE_SIGNAL_H_
#define GSADMIN_PANEL_CHANGE_SIGNAL_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace gsadmin {

// Wakes the panel's streams when something they send has changed (a
// console line, a new snapshot) or the panel stops. notify() never blocks
// for longer than a lock held only to bump a number.
class ChangeSignal {
 public:
  // Bumps the version and wakes every waiter.
  void notify();
  // Wakes every waiter for good: stopped() is true from now on.
  void stop();
  bool stopped();
  uint64_t version();
  // Waits until the version differs from `seen`, the signal stops or
  // `timeout` passes. The version then.
  uint64_t waitPast(uint64_t seen, std::chrono::milliseconds timeout);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t version_ = 0;
  bool stopped_ = false;
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_CHANGE_SIGNAL_H_
