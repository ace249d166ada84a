#ifndef GSADMIN_RULES_TIME_ZONE_H_
#define GSADMIN_RULES_TIME_ZONE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gsadmin {

// Where the system keeps its time zones (Debian's tzdata).
inline constexpr char kZoneInfoRoot[] = "/usr/share/zoneinfo";
// A zone file larger than this is refused unread.
inline constexpr size_t kMaxZoneFileBytes = 256 * 1024;

// The daylight-saving rule of a POSIX TZ string ("CET-1CEST,M3.5.0,M10.5.0/3"),
// which a zone file's footer gives for the years after its last transition.
struct ZoneRule {
  int32_t standardOffset = 0;  // seconds east of UTC
  int32_t daylightOffset = 0;
  bool daylight = false;  // false: standardOffset all year
  // "Mm.w.d/time": month 1-12, week 1-5 (5: the last), weekday 0-6 (Sunday 0),
  // seconds after local midnight.
  struct Change {
    int month = 0, week = 0, weekday = 0;
    int32_t time = 7200;
  };
  Change start, end;

  // The rule of `text`, or none for a form it does not read (Jn, n).
  static std::optional<ZoneRule> parse(std::string_view text);
  int32_t offsetAt(int64_t utc) const;
};

// A time zone: the offsets from UTC it has had and will have. UTC, or read
// from a TZif file of the system's zone database, bounded and checked.
class TimeZone {
 public:
  struct Transition {
    int64_t at = 0;      // UTC seconds since the epoch
    int32_t offset = 0;  // seconds east of UTC from then on
  };

  TimeZone() = default;  // UTC
  // A zone of its own: `initial` before the first transition, `rule`
  // after the last (none: the last offset holds).
  TimeZone(std::string name, int32_t initial, std::vector<Transition> transitions,
           std::optional<ZoneRule> rule);

  // The zone `name` ("Europe/Berlin", "UTC") of the database under `root`;
  // none with *error set for a name that is no zone or a bad file.
  static std::optional<TimeZone> load(std::string_view name, std::string* error,
                                      const std::string& root = kZoneInfoRoot);
  // The zone of TZif bytes.
  static std::optional<TimeZone> fromTzif(std::string name, std::string_view bytes,
                                          std::string* error);

  const std::string& name() const { return name_; }
  int32_t offsetAt(int64_t utc) const;
  // The moment the wall time `local` (seconds since the epoch as if it
  // were UTC) is shown: the earlier of two in a repeated hour; for a time
  // a jump forward skips, the moment of the jump. Never decreasing in `local`.
  int64_t toUtc(int64_t local) const;

 private:
  std::string name_ = "UTC";
  int32_t initial_ = 0;
  std::vector<Transition> transitions_;  // ascending
  std::optional<ZoneRule> rule_;
};

// Days since 1970-01-01 of a civil date, and back.
int64_t daysFromCivil(int64_t year, unsigned month, unsigned day);
void civilFromDays(int64_t days, int64_t* year, unsigned* month, unsigned* day);

}  // namespace gsadmin

#endif  // GSADMIN_RULES_TIME_ZONE_H_
