#ifndef GSADMIN_BENCH_PUBLIC_BENCH_H_
#define GSADMIN_BENCH_PUBLIC_BENCH_H_

#include <cstdint>
#include <vector>

#include "results_table.h"

namespace gsadmin::bench {

// The public ban record (--public on loopback) under `requestsPerSecond`
// requests, paced, on one kept-alive connection: half GET /api/bans?name=,
// half GET /api/bans/N. First `seconds` of the load alone (the rate kept,
// the latency, the answers that were not 200 or 404); then, with the load
// going on, the Lua handler's throughput under a position flood in that
// client and in one without --public side by side, as (g) measures the
// panel's: `rounds` drain rounds of `batch` updates, by the loop's on-CPU
// time and by the clock, medians.
struct PublicLoad {
  double perSecond = 0;  // requests answered per second, the load alone
  int64_t answered = 0;
  int64_t failed = 0;  // neither 200 nor 404, or no answer
  double medianMs = 0;
  double p99Ms = 0;
  double withPerCpuSecond = 0;
  double withoutPerCpuSecond = 0;
  double cpuRatio = 0;
  double wallRatio = 0;
  double loadPerSecondDuringDrains = 0;
  bool complete = false;
};
PublicLoad measurePublicLoad(int requestsPerSecond, int seconds, int rounds, int batch);

// The group's rows: (p).
std::vector<ResultRow> publicRows();

extern const char kPublicNotes[];

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_PUBLIC_BENCH_H_
