#ifndef GSADMIN_BASE_NUMBERS_H_
#define GSADMIN_BASE_NUMBERS_H_

#include <cstdint>
#include <optional>

namespace gsadmin {

// Float to integer, truncating toward zero: NaN gives 0 and values beyond
// the 32-bit range saturate. Defined for every input.
int32_t truncateToInt32(double value);

// The record id a script number names: truncated toward zero to a 32-bit
// signed integer, then its low 8 bits. Empty for NaN and for numbers outside
// the 32-bit signed range, which name no record.
std::optional<uint8_t> lowByteOfInt32(double value);

}  // namespace gsadmin

#endif  // GSADMIN_BASE_NUMBERS_H_
