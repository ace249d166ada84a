#ifndef GSADMIN_CONSOLE_JSON_LOG_H_
#define GSADMIN_CONSOLE_JSON_LOG_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "console/log_entry.h"

namespace gsadmin {

// The one formatter of the JSON log, kept by a console for its lines: it
// remembers the last second's text, so most lines format their time
// without a calendar computation. append() as appendJsonLogLine below.
class JsonLogFormatter {
 public:
  void append(const LogEntry& entry, int64_t unixMs, std::string& out);
  // The same line written at the start of `buffer`, which grows to hold it
  // and keeps its size; the line's length.
  size_t write(const LogEntry& entry, int64_t unixMs, std::string& buffer);
  // "2026-12-07T14:03:22.125Z" for `unixMs`, appended to `out`.
  void appendTime(int64_t unixMs, std::string& out);

 private:
  static constexpr size_t kTimeBytes = 24;
  // Writes the time's kTimeBytes at `p`; the end of them.
  char* writeTime(int64_t unixMs, char* p);

  std::optional<int64_t> second_;
  char secondText_[19] = {};  // "2026-12-07T14:03:22"
};

// Appends `entry` to `out` as one JSON
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
