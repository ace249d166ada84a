#ifndef GSADMIN_BENCH_TIMER_BENCH_H_
#define GSADMIN_BENCH_TIMER_BENCH_H_

#include <cstdint>

namespace gsadmin::bench {

// How late a script's timer fires in the real binary, connected and
// otherwise idle: one timer of `intervalMs`, `count` times. Each call
// reports getTickCount() minus its due time (start + n * interval), in
// whole milliseconds, so a figure is within 1 ms of the true lateness.
struct TimerAccuracy {
  uint64_t fired = 0;
  uint64_t expected = 0;
  double medianLateMs = 0;
  double p99LateMs = 0;
  double maxLateMs = 0;
  bool complete = false;
};
TimerAccuracy measureTimerAccuracy(int intervalMs, int count);

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_TIMER_BENCH_H_
