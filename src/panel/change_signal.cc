#include "panel/change_signal.h"

namespace gsadmin {

void ChangeSignal::notify() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++version_;
  }
  changed_.notify_all();
}

void ChangeSignal::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    ++version_;
  }
  changed_.notify_all();
}

bool ChangeSignal::stopped() {
  std::lock_guard<std::mutex> lock(mutex_);
  return stopped_;
}

uint64_t ChangeSignal::version() {
  std::lock_guard<std::mutex> lock(mutex_);
  return version_;
}

uint64_t ChangeSignal::waitPast(uint64_t seen, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, timeout, [&]() { return version_ != seen || stopped_; });
  return version_;
}

}  // namespace gsadmin
