// The POSIX TZ rule of a zone file's footer, and the civil calendar.

#include "base/durations.h"
#include "rules/time_zone.h"

namespace gsadmin {
namespace {

// Reads a name: letters, or anything between '<' and '>'.
bool skipName(std::string_view& text) {
  if (text.starts_with('<')) {
    size_t close = text.find('>');
    if (close == std::string_view::npos) return false;
    text.remove_prefix(close + 1);
    return true;
  }
  size_t length = 0;
  while (length < text.size() && ((text[length] >= 'A' && text[length] <= 'Z') ||
                                  (text[length] >= 'a' && text[length] <= 'z'))) {
    ++length;
  }
  text.remove_prefix(length);
  return length >= 3;
}

std::optional<int> readNumber(std::string_view& text, int most) {
  int value = 0;
  size_t length = 0;
  while (length < text.size() && text[length] >= '0' && text[length] <= '9' && length < 4) {
    value = value * 10 + (text[length++] - '0');
  }
  if (length == 0 || value > most) return std::nullopt;
  text.remove_prefix(length);
  return value;
}

// [+-]hh[:mm[:ss]] as seconds.
std::optional<int32_t> readTime(std::string_view& text) {
  int sign = 1;
  if (text.starts_with('+') || text.starts_with('-')) {
    sign = text[0] == '-' ? -1 : 1;
    text.remove_prefix(1);
  }
  std::optional<int> hours = readNumber(text, 167);
  if (!hours) return std::nullopt;
  int32_t seconds = *hours * 3600;
  for (int unit : {60, 1}) {
    if (!text.starts_with(':')) break;
    text.remove_prefix(1);
    std::optional<int> part = readNumber(text, 59);
    if (!part) return std::nullopt;
    seconds += *part * unit;
  }
  return sign * seconds;
}

std::optional<ZoneRule::Change> readChange(std::string_view& text) {
  if (!text.starts_with(",M")) return std::nullopt;
  text.remove_prefix(2);
  ZoneRule::Change change;
  std::optional<int> month = readNumber(text, 12);
  if (!month || *month < 1 || !text.starts_with('.')) return std::nullopt;
  text.remove_prefix(1);
  std::optional<int> week = readNumber(text, 5);
  if (!week || *week < 1 || !text.starts_with('.')) return std::nullopt;
  text.remove_prefix(1);
  std::optional<int> weekday = readNumber(text, 6);
  if (!weekday) return std::nullopt;
  change.month = *month;
  change.week = *week;
  change.weekday = *weekday;
  if (text.starts_with('/')) {
    text.remove_prefix(1);
    std::optional<int32_t> time = readTime(text);
    if (!time) return std::nullopt;
    change.time = *time;
  }
  return change;
}

// The local moment (as if UTC) of `change` in `year`.
int64_t localMoment(const ZoneRule::Change& change, int64_t year) {
  int64_t first = daysFromCivil(year, static_cast<unsigned>(change.month), 1);
  int64_t firstWeekday = ((first % 7) + 7 + 4) % 7;  // 1970-01-01 was a Thursday
  int64_t day = first + (change.weekday - firstWeekday + 7) % 7 + (change.week - 1) * 7;
  int64_t nextMonth = change.month == 12
                          ? daysFromCivil(year + 1, 1, 1)
                          : daysFromCivil(year, static_cast<unsigned>(change.month) + 1, 1);
  while (day >= nextMonth) day -= 7;  // week 5: the last such weekday
  return day * kSecondsPerDay + change.time;
}

}  // namespace

int64_t daysFromCivil(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  int64_t era = (year >= 0 ? year : year - 399) / 400;
  unsigned yoe = static_cast<unsigned>(year - era * 400);
  unsigned doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t days, int64_t* year, unsigned* month, unsigned* day) {
  days += 719468;
  int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  unsigned doe = static_cast<unsigned>(days - era * 146097);
  unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  unsigned mp = (5 * doy + 2) / 153;
  *day = doy - (153 * mp + 2) / 5 + 1;
  *month = mp < 10 ? mp + 3 : mp - 9;
  *year = static_cast<int64_t>(yoe) + era * 400 + (*month <= 2);
}

std::optional<ZoneRule> ZoneRule::parse(std::string_view text) {
  ZoneRule rule;
  if (!skipName(text)) return std::nullopt;
  std::optional<int32_t> standard = readTime(text);
  if (!standard) return std::nullopt;
  rule.standardOffset = -*standard;  // POSIX counts west of UTC
  if (text.empty()) return rule;
  if (!skipName(text)) return std::nullopt;
  rule.daylight = true;
  rule.daylightOffset = rule.standardOffset + 3600;
  if (!text.starts_with(',')) {
    std::optional<int32_t> daylight = readTime(text);
    if (!daylight) return std::nullopt;
    rule.daylightOffset = -*daylight;
  }
  std::optional<Change> start = readChange(text);
  std::optional<Change> end = start ? readChange(text) : std::nullopt;
  if (!end || !text.empty()) return std::nullopt;
  rule.start = *start;
  rule.end = *end;
  return rule;
}

int32_t ZoneRule::offsetAt(int64_t utc) const {
  if (!daylight) return standardOffset;
  int64_t year = 0;
  unsigned month = 0, day = 0;
  civilFromDays(
      (utc + standardOffset) / kSecondsPerDay - ((utc + standardOffset) % kSecondsPerDay < 0),
      &year, &month, &day);
  int64_t start = localMoment(this->start, year) - standardOffset;
  int64_t end = localMoment(this->end, year) - daylightOffset;
  bool inDaylight = start < end ? (utc >= start && utc < end) : (utc >= start || utc < end);
  return inDaylight ? daylightOffset : standardOffset;
}

}  // namespace gsadmin
