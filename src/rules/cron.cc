#include "rules/cron.h"

#include <vector>

#include "base/durations.h"

namespace gsadmin {
namespace {

constexpr size_t kMaxCronBytes = 200;

struct FieldRange {
  const char* name;
  int low;
  int high;
};

constexpr FieldRange kFields[] = {
    {"minute", 0, 59}, {"hour", 0, 23}, {"day", 1, 31}, {"month", 1, 12}, {"weekday", 0, 7}};

std::optional<int> number(std::string_view text) {
  if (text.empty() || text.size() > 2) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// One field's values as bits, or none; *any when it is "*" alone.
std::optional<std::bitset<64>> parseField(std::string_view text, const FieldRange& range,
                                          bool* any) {
  std::bitset<64> bits;
  *any = text == "*";
  while (!text.empty()) {
    size_t comma = text.find(',');
    std::string_view part = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    if (comma != std::string_view::npos && text.empty()) return std::nullopt;
    int step = 1;
    if (size_t slash = part.find('/'); slash != std::string_view::npos) {
      std::optional<int> given = number(part.substr(slash + 1));
      if (!given || *given < 1) return std::nullopt;
      step = *given;
      part = part.substr(0, slash);
    }
    int low = range.low, high = range.high;
    if (part != "*") {
      size_t dash = part.find('-');
      std::optional<int> from = number(part.substr(0, dash));
      std::optional<int> to = dash == std::string_view::npos ? from : number(part.substr(dash + 1));
      if (!from || !to || *from < range.low || *to > range.high || *from > *to) return std::nullopt;
      low = *from;
      // "5/15" runs from 5 to the end, as cron reads it.
      high = dash == std::string_view::npos && step > 1 ? range.high : *to;
    }
    for (int value = low; value <= high; value += step) bits.set(static_cast<size_t>(value));
  }
  if (bits.none()) return std::nullopt;
  return bits;
}

template <size_t N>
std::bitset<N> narrowed(const std::bitset<64>& bits) {
  std::bitset<N> out;
  for (size_t i = 0; i < N; ++i) out[i] = bits[i];
  return out;
}

}  // namespace

std::optional<Cron> Cron::parse(std::string_view text, std::string* why) {
  std::vector<std::string_view> fields;
  if (text.size() > kMaxCronBytes) {
    *why = "an expression of at most " + std::to_string(kMaxCronBytes) + " bytes";
    return std::nullopt;
  }
  for (size_t at = 0; at < text.size();) {
    size_t start = text.find_first_not_of(' ', at);
    if (start == std::string_view::npos) break;
    size_t end = std::min(text.find(' ', start), text.size());
    fields.push_back(text.substr(start, end - start));
    at = end;
  }
  if (fields.size() != 5) {
    *why = "five fields are needed: minute hour day month weekday";
    return std::nullopt;
  }
  Cron cron;
  std::bitset<64> bits[5];
  bool any[5] = {};
  for (size_t i = 0; i < 5; ++i) {
    std::optional<std::bitset<64>> field = parseField(fields[i], kFields[i], &any[i]);
    if (!field) {
      *why = "the " + std::string(kFields[i].name) + " field \"" + std::string(fields[i]) +
             "\" is not a value, range or step from " + std::to_string(kFields[i].low) + " to " +
             std::to_string(kFields[i].high);
      return std::nullopt;
    }
    bits[i] = *field;
  }
  cron.minutes_ = narrowed<60>(bits[0]);
  cron.hours_ = narrowed<24>(bits[1]);
  cron.days_ = narrowed<32>(bits[2]);
  cron.months_ = narrowed<13>(bits[3]);
  cron.weekdays_ = narrowed<8>(bits[4]);
  if (cron.weekdays_[7]) cron.weekdays_.set(0);  // 7 is Sunday too
  cron.anyDay_ = any[2];
  cron.anyWeekday_ = any[4];
  return cron;
}

bool Cron::firesOnDay(int64_t day) const {
  int64_t year = 0;
  unsigned month = 0, monthDay = 0;
  civilFromDays(day, &year, &month, &monthDay);
  if (!months_[month]) return false;
  size_t weekday = static_cast<size_t>(((day % 7) + 7 + 4) % 7);  // 1970-01-01: Thursday
  bool dayFits = days_[monthDay];
  bool weekdayFits = weekdays_[weekday];
  if (anyDay_ && anyWeekday_) return true;
  if (anyDay_) return weekdayFits;
  if (anyWeekday_) return dayFits;
  return dayFits || weekdayFits;
}

std::optional<int64_t> Cron::next(const TimeZone& zone, int64_t utc) const {
  // Two hours back in local time, so that a minute a jump forward skipped,
  // shown at the jump, is not passed over.
  int64_t from = utc + zone.offsetAt(utc) - 2 * 3600;
  from -= ((from % 60) + 60) % 60;
  int64_t firstDay = (from >= 0 ? from : from - kSecondsPerDay + 1) / kSecondsPerDay;
  for (int64_t day = firstDay; day < firstDay + kMaxCronSearchDays; ++day) {
    if (!firesOnDay(day)) continue;
    for (size_t hour = 0; hour < 24; ++hour) {
      if (!hours_[hour]) continue;
      int64_t hourStart = day * kSecondsPerDay + static_cast<int64_t>(hour) * 3600;
      if (hourStart + 3600 <= from) continue;
      for (size_t minute = 0; minute < 60; ++minute) {
        int64_t local = hourStart + static_cast<int64_t>(minute) * 60;
        if (!minutes_[minute] || local < from) continue;
        int64_t at = zone.toUtc(local);
        if (at > utc) return at;
      }
    }
  }
  return std::nullopt;
}

}  // namespace gsadmin
