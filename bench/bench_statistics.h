#ifndef GSADMIN_BENCH_BENCH_STATISTICS_H_
#define GSADMIN_BENCH_BENCH_STATISTICS_H_

#include <vector>

namespace gsadmin::bench {

// The value below which `fraction` (0 to 1) of `values` lie, by rank; 0 for
// no values.
double percentileOf(std::vector<double> values, double fraction);

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_BENCH_STATISTICS_H_
