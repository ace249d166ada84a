#ifndef GSADMIN_TESTS_SUPPORT_MANUAL_CLOCK_H_
#define GSADMIN_TESTS_SUPPORT_MANUAL_CLOCK_H_

#include <cstdint>

#include "platform/clock.h"

namespace gsadmin {

// A clock that moves only when told to; sleeping advances it at once.
class ManualClock : public Clock {
 public:
  explicit ManualClock(uint64_t startMs = 1000) : now_(startMs) {}
  uint64_t nowMs() override { return now_; }
  void sleepMs(uint32_t milliseconds) override { now_ += milliseconds; }
  void advance(uint64_t milliseconds) { now_ += milliseconds; }
  void set(uint64_t ms) { now_ = ms; }

 private:
  uint64_t now_;
};

}  // namespace gsadmin

#endif  // GSADMIN_TESTS_SUPPORT_MANUAL_CLOCK_H_
