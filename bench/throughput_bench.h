#ifndef GSADMIN_BENCH_THROUGHPUT_BENCH_H_
#define GSADMIN_BENCH_THROUGHPUT_BENCH_H_

#include <cstdint>
#include <vector>

#include "results_table.h"

namespace gsadmin::bench {

// How fast position updates are handled once they are queued. Each round
// prefills a socket's queue with `batch` on-foot updates of one known player
// and times how long it takes to empty it, four times in turn: by a plain
// recv loop on a socket of its own, by a recvmmsg loop of up to 64 a call on
// another (the machine's limit, and the reference), by an in-process
// session whose script has no position handler, and by the same session
// with a Lua handler that counts every "onPlayerPositionChange". Rates are
// medians of `rounds` rounds, in datagrams per second.
struct DrainRates {
  double rawPerSecond = 0;
  double rawBatchedPerSecond = 0;
  double noHandlerPerSecond = 0;
  double luaHandlerPerSecond = 0;
  // The session without a handler over the recvmmsg loop: the median of the
  // rounds' ratios.
  double noHandlerRatio = 0;
  double luaHandlerRatio = 0;  // the same for the session with the handler
  // The same two by the drains' time on a CPU (the thread's, in the kernel
  // too), which other programs on the machine do not inflate.
  double noHandlerCpuRatio = 0;
  double luaHandlerCpuRatio = 0;
  uint64_t sent = 0;      // to the session with the Lua handler
  uint64_t handled = 0;   // counted by its handler
  uint64_t drops = 0;     // by the kernel, over all four sockets
  bool complete = false;  // every measurement ran
};
DrainRates measureDrainRates(int rounds, int batch);
// Its rows: the raw loops, the session without and with the handler, loss.
std::vector<ResultRow> drainRows(const DrainRates& drain);

// The real binary under a steady stream: `rate` position updates per second
// for `seconds`, with the counting handler.
struct SustainedRun {
  double rate = 0;
  uint64_t sent = 0;
  uint64_t handled = 0;
  uint64_t drops = 0;
  double clientCpuSeconds = 0;  // used by the client during the stream
  double seconds = 0;
  bool complete = false;
};
SustainedRun measureSustained(double rate, double seconds);

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_THROUGHPUT_BENCH_H_
