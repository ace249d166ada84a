#ifndef GSADMIN_BENCH_IDLE_BENCH_H_
#define GSADMIN_BENCH_IDLE_BENCH_H_

#include <cstdint>

namespace gsadmin::bench {

// CPU time the real binary uses while connected and idle: the peer sends
// only a keep-alive request every 5 s, for `seconds` seconds. Over the same
// seconds a bare loop of poll (10 ms timeout) and recv on a UDP socket runs
// beside it, the least any program that wakes 100 times a second costs here.
// The client's wakeups are its context switches over the same seconds.
struct IdleResult {
  double seconds = 0;
  double cpuSeconds = 0;  // utime + stime, sampled at clock ticks
  double percentOfCore = 0;
  double onCpuSeconds = 0;          // exact scheduler time
  double bareLoopOnCpuSeconds = 0;  // the same for the bare loop
  uint64_t wakeups = 0;             // the client's context switches
  uint64_t keepAlives = 0;          // keep-alive requests sent meanwhile
  bool stayedConnected = false;     // every keep-alive answered, no new login
  bool complete = false;
};
IdleResult measureIdleCost(int seconds);

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_IDLE_BENCH_H_
