#ifndef GSADMIN_BENCH_LIMITS_BENCH_H_
#define GSADMIN_BENCH_LIMITS_BENCH_H_

#include <string>
#include <vector>

#include "results_table.h"

namespace gsadmin::bench {

// The client's limits with everything on, each beside its reference: the
// binary at `before` (an earlier build) when given, measured in the same
// run. The chat records' disk writes and how soon they are readable, a
// join's details request, a flood of 300 000 updates a second, the memory
// of a full server and its growth over `soakSeconds` of steady load.
std::vector<ResultRow> limitsRows(const std::string& before, int soakSeconds);

extern const char kLimitsNotes[];

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_LIMITS_BENCH_H_
