#ifndef GSADMIN_RULES_CRON_H_
#define GSADMIN_RULES_CRON_H_

#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "rules/time_zone.h"

namespace gsadmin {

// How far ahead a time is looked for: a 29 February can be eight years
// away (2096 to 2104); past this an expression is taken to fire never.
inline constexpr int64_t kMaxCronSearchDays = 366 * 9;

// "minute hour day month weekday", each field "*", "N", "A-B", "*/S" or
// "A-B/S", or a list of them joined by ','. Weekday 0 or 7 is Sunday. As in
// cron, when both day and weekday are given a day matching either fires.
class Cron {
 public:
  // The expression of `text`, or none with *why set.
  static std::optional<Cron> parse(std::string_view text, std::string* why);

  // Whether it fires in every minute of some hour ("* 4 * * *").
  bool everyMinute() const { return minutes_.all(); }
  // Whether the local day (1970-based day number) is one it fires on.
  bool firesOnDay(int64_t day) const;
  // The first moment after `utc` at which it fires in `zone`: the local
  // minutes it names, each shown once (the first of a repeated hour; a
  // minute a jump forward skips fires at the jump, once). None when it
  // never fires within kMaxCronSearchDays.
  std::optional<int64_t> next(const TimeZone& zone, int64_t utc) const;

 private:
  std::bitset<60> minutes_;
  std::bitset<24> hours_;
  std::bitset<32> days_;
  std::bitset<13> months_;
  std::bitset<8> weekdays_;
  bool anyDay_ = true;
  bool anyWeekday_ = true;
};

}  // namespace gsadmin

#endif  // GSADMIN_RULES_CRON_H_
