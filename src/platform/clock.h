#ifndef GSADMIN_PLATFORM_CLOCK_H_
#define GSADMIN_PLATFORM_CLOCK_H_

#include <cstdint>

namespace gsadmin {

// A monotonic millisecond clock and a sleep. 64 bits, so nothing wraps in the
// life of a process. The session takes one by reference so that tests can
// drive time by hand.
class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary fixed point; never decreases.
  virtual uint64_t nowMs() = 0;
  virtual void sleepMs(uint32_t milliseconds) = 0;
  // Seconds since the epoch, for records that outlive the process.
  virtual int64_t wallSeconds() = 0;
};

// The real clock: CLOCK_MONOTONIC and nanosleep.
class SystemClock : public Clock {
 public:
  uint64_t nowMs() override;
  void sleepMs(uint32_t milliseconds) override;
  int64_t wallSeconds() override;
};

}  // namespace gsadmin

#endif  // GSADMIN_PLATFORM_CLOCK_H_
