#ifndef GSADMIN_BENCH_LATENCY_BENCH_H_
#define GSADMIN_BENCH_LATENCY_BENCH_H_

#include <cstdint>

namespace gsadmin::bench {

// Time from a chat datagram leaving the peer to its console line arriving on
// the real binary's standard output (a pipe), for `lines` chat lines sent at
// most one per `intervalUs` microseconds.
struct LatencyResult {
  int lines = 0;
  int seen = 0;  // lines that appeared within a second
  double medianUs = 0;
  double p99Us = 0;
  double maxUs = 0;
  bool complete = false;
};
LatencyResult measureChatLatency(int lines, int intervalUs);
// The same with 64 HTTP requests in flight all along: four scripts start
// sixteen each (the most allowed) to a loopback server that accepts
// connections and never answers, within the default 10 s time-out.
LatencyResult measureChatLatencyWithRequests(int lines, int intervalUs);

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_LATENCY_BENCH_H_
