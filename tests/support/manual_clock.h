#ifndef GSADMIN_TESTS_SUPPORT_MANUAL_CLOCK_H_
#define GSADMIN_TESTS_SUPPORT_MANUAL_CLOCK_H_

#include <cstdint>

#include "platform/clock.h"

namespace gsadmin {

// A clock that moves only when told to; sleeping advances it at once.
class ManualClock : public Clock {
 public:
  static constexpr int64_t kEpochSeconds = 1796731200;

  explicit ManualClock(uint64_t startMs = 1000) : now_(startMs) {}
  uint64_t nowMs() override { return now_; }
  void sleepMs(uint32_t milliseconds) override { now_ += milliseconds; }
  // Moves with nowMs(), from a fixed moment (2026-12-08 12:00 UTC at 0 ms).
  int64_t wallSeconds() override { return kEpochSeconds + static_cast<int64_t>(now_ / 1000); }
  void advance(uint64_t milliseconds) { now_ += milliseconds; }
  void set(uint64_t ms) { now_ = ms; }

 private:
  uint64_t now_;
};

}  // namespace gsadmin

#endif  // GSADMIN_TESTS_SUPPORT_MANUAL_CLOCK_H_
