#include "bench_statistics.h"

#include <algorithm>
#include <cmath>

namespace gsadmin::bench {

double percentileOf(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  double rank = std::ceil(fraction * static_cast<double>(values.size()));
  size_t index = rank < 1 ? 0 : static_cast<size_t>(rank) - 1;
  return values[std::min(index, values.size() - 1)];
}

}  // namespace gsadmin::bench
