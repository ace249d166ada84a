#ifndef GSADMIN_BASE_DURATIONS_H_
#define GSADMIN_BASE_DURATIONS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace gsadmin {

// The longest duration a ban or an option may give: ten years.
// Seconds in a day of 24 hours (civil days in UTC).
inline constexpr int64_t kSecondsPerDay = 86400;
inline constexpr int64_t kMaxDurationSeconds = 10LL * 365 * 24 * 3600;

// Seconds of a duration written as one or more numbers with units, largest
// first or not: "30m", "2h", "7d", "2w", "1d12h", "90s". Units: s, m, h, d,
// w. Empty for anything else, for zero and for more than
// kMaxDurationSeconds.
std::optional<int64_t> parseDuration(std::string_view text);

// `seconds` the way parseDuration reads it, largest units first: 129600
// gives "1d12h", 0 gives "0s". Weeks are written as days ("14d").
std::string formatDuration(int64_t seconds);

// A moment in seconds since the epoch as "YYYY-MM-DD HH:MM UTC".
std::string formatUtcTime(int64_t unixSeconds);

}  // namespace gsadmin

#endif  // GSADMIN_BASE_DURATIONS_H_
