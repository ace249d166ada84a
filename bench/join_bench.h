#ifndef GSADMIN_BENCH_JOIN_BENCH_H_
#define GSADMIN_BENCH_JOIN_BENCH_H_

#include <string>

namespace gsadmin::bench {

// How soon a join brings its details request: the real binary at `program`
// (moderation on) gets `joins` joins, each a new name, one at a time; the
// time from sending each to receiving its request, in milliseconds.
struct JoinToDetails {
  int joins = 0;
  int answered = 0;
  double medianMs = 0;
  double p99Ms = 0;
  double maxMs = 0;
  bool complete = false;
};
JoinToDetails measureJoinToDetails(const std::string& program, int joins);

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_JOIN_BENCH_H_
