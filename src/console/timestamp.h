#ifndef GSADMIN_CONSOLE_TIMESTAMP_H_
#define GSADMIN_CONSOLE_TIMESTAMP_H_

#include <ctime>
#include <string>

namespace gsadmin {

// "[2026-12-07 14:03:22] " for the broken-down time `when`.
std::string formatTimestampPrefix(const std::tm& when);

// The same prefix for `when` in the local time zone.
std::string localTimestampPrefix(std::time_t when);

}  // namespace gsadmin

#endif  // GSADMIN_CONSOLE_TIMESTAMP_H_
