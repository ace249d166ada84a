#ifndef GSADMIN_BENCH_PANEL_BENCH_H_
#define GSADMIN_BENCH_PANEL_BENCH_H_

#include <cstdint>
#include <vector>

#include "results_table.h"

namespace gsadmin::bench {

// Time from a chat datagram leaving the peer to its console line arriving on
// each of `streams` open event streams of the real binary's web panel, for
// `lines` chat lines sent one per `intervalMs` milliseconds. Every pair of
// line and stream is one sample.
struct StreamLatency {
  int streams = 0;
  int lines = 0;
  int64_t samples = 0;  // pairs seen within a second of the last line sent
  double medianMs = 0;
  double p99Ms = 0;
  double maxMs = 0;
  bool complete = false;  // every stream saw every line
};
StreamLatency measureStreamLatency(int streams, int lines, int intervalMs);

// The Lua handler's throughput under a position flood in two real binaries
// side by side, one serving the panel with `streams` event streams open and
// one without the panel. Each round stops a client (SIGSTOP), queues
// `batch` position updates for it, lets it go on and times it until it has
// answered a keep-alive sent after them, by the clock and by the on-CPU
// time of its loop's thread; the rounds alternate between the two clients.
// Medians of `rounds`.
struct PanelOverhead {
  double withPerSecond = 0;
  double withoutPerSecond = 0;
  double ratio = 0;  // with / without: the median of the rounds' ratios
  // The same per second the loop's thread spent on a CPU.
  double withPerCpuSecond = 0;
  double withoutPerCpuSecond = 0;
  double cpuRatio = 0;
  uint64_t sent = 0;         // to each client
  uint64_t handledWith = 0;  // the script's count in each
  uint64_t handledWithout = 0;
  bool complete = false;
};
PanelOverhead measurePanelOverhead(int streams, int rounds, int batch);

// The rows of both: the stream's p99 and the throughput's ratio against
// their targets, the rest for information.
void addPanelRows(const StreamLatency& latency, const PanelOverhead& overhead,
                  std::vector<ResultRow>& rows);

// How the rows are taken, for the notes below the table.
extern const char kPanelNotes[];

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_PANEL_BENCH_H_
