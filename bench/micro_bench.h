#ifndef GSADMIN_BENCH_MICRO_BENCH_H_
#define GSADMIN_BENCH_MICRO_BENCH_H_

#include <string>
#include <vector>

namespace gsadmin::bench {

// One Google Benchmark result: mean real time per iteration.
struct MicroResult {
  std::string name;
  double nanoseconds = 0;
};

// Runs the registered micro-benchmarks (dispatch of a position update with
// and without a Lua handler, EventManager::fireEvent with and without a
// matching handler and with ten scripts each with one, one round of TimerQueue::kMaxTimers timers
// due at once), honouring the --benchmark_* flags that benchmark::Initialize took from the command
// line. Prints Google Benchmark's own table and returns the results.
std::vector<MicroResult> runMicroBenchmarks();

// Lua memory of one loaded script whose main chunk only defines a handler,
// in KiB: what each idle script adds.
double idleScriptLuaKiB();

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_MICRO_BENCH_H_
