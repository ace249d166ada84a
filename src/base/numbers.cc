#include "base/numbers.h"

#include <cmath>

namespace gsadmin {

int32_t truncateToInt32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(value);
}

std::optional<uint8_t> lowByteOfInt32(double value) {
  if (std::isnan(value) || value <= -2147483649.0 || value >= 2147483648.0) return std::nullopt;
  auto truncated = static_cast<int32_t>(value);
  return static_cast<uint8_t>(static_cast<uint32_t>(truncated) & 0xFFu);
}

}  // namespace gsadmin
