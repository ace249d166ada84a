#ifndef GSADMIN_CONSOLE_JSON_LOG_H_
#define GSADMIN_CONSOLE_JSON_LOG_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "console/log_entry.h"

namespace gsadmin {

// The one formatter of the JSON log: appends `entry` to `out` as one JSON
// object and a line break, {"time":..., "kind":..., fields..., "text":...}.
// `time` is RFC 3339 in UTC with milliseconds, from `unixMs`. Every text is
// valid UTF-8 JSON whatever its bytes: a byte that is not part of a UTF-8
// sequence is written as the Latin-1 letter it would be (\u00XX), controls
// as \u00XX.
void appendJsonLogLine(const LogEntry& entry, int64_t unixMs, std::string& out);

// "2026-12-07T14:03:22.125Z" for `unixMs`.
std::string rfc3339Utc(int64_t unixMs);

// Appends `text` to `out` as a JSON string, quotes included.
void appendJsonString(std::string_view text, std::string& out);

}  // namespace gsadmin

#endif  // GSADMIN_CONSOLE_JSON_LOG_H_
