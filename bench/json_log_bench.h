#ifndef GSADMIN_BENCH_JSON_LOG_BENCH_H_
#define GSADMIN_BENCH_JSON_LOG_BENCH_H_

#include <cstdint>
#include <vector>

#include "results_table.h"

namespace gsadmin::bench {

// What --log-format=json costs the path of a chat line through the loop:
// two real binaries side by side, moderation off, each logging to a file
// (--log-file) and to standard output (/dev/null), one in text and one in
// JSON, with a script whose handler counts the chat lines. Each round
// stops a client, queues `batch` chat lines for it, lets it go on and
// times it until it answers a keep-alive sent after them (drainRound()):
// lines per second of its loop thread's CPU time. Rounds alternate.
struct JsonLogCost {
  double textPerCpuSecond = 0;  // medians of the rounds
  double jsonPerCpuSecond = 0;
  double ratio = 0;  // the median of the rounds' JSON / text ratios
  uint64_t sent = 0;
  uint64_t handledText = 0;
  uint64_t handledJson = 0;
  bool complete = false;
};
JsonLogCost measureJsonLogCost(int rounds, int batch);

// 21 rounds of 10 000 lines.
std::vector<ResultRow> jsonLogRows();

extern const char kJsonLogNotes[];

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_JSON_LOG_BENCH_H_
