#include "rules/time_zone.h"

#include <gtest/gtest.h>

#include "rules/cron.h"

namespace gsadmin {
namespace {

// 2026 in Berlin: summer time from 29 March 01:00 UTC to 25 October 01:00 UTC.
constexpr int64_t kSpring = 1774746000;  // 2026-03-29 01:00:00 UTC
constexpr int64_t kAutumn = 1792890000;  // 2026-10-25 01:00:00 UTC

int64_t utc(int64_t year, unsigned month, unsigned day, int hour, int minute) {
  return daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60;
}

std::optional<TimeZone> berlin() {
  std::string error;
  return TimeZone::load("Europe/Berlin", &error);
}

TEST(TimeZoneTest, BerlinChangesAtItsTransitionsAndMapsWallTimesOnce) {
  std::optional<TimeZone> zone = berlin();
  if (!zone) GTEST_SKIP() << "no Europe/Berlin in the zone database";
  ASSERT_EQ(utc(2026, 3, 29, 1, 0), kSpring);
  ASSERT_EQ(utc(2026, 10, 25, 1, 0), kAutumn);
  EXPECT_EQ(zone->offsetAt(kSpring - 1), 3600);
  EXPECT_EQ(zone->offsetAt(kSpring), 7200);
  EXPECT_EQ(zone->offsetAt(kAutumn - 1), 7200);
  EXPECT_EQ(zone->offsetAt(kAutumn), 3600);
  // 02:30 on 29 March is skipped: shown at the jump. On 25 October it is
  // shown twice: the first time.
  EXPECT_EQ(zone->toUtc(utc(2026, 3, 29, 2, 30)), kSpring);
  EXPECT_EQ(zone->toUtc(utc(2026, 3, 29, 3, 0)), kSpring);
  EXPECT_EQ(zone->toUtc(utc(2026, 3, 29, 1, 59)), kSpring - 60);
  EXPECT_EQ(zone->toUtc(utc(2026, 10, 25, 2, 30)), kAutumn - 1800);
  EXPECT_EQ(zone->toUtc(utc(2026, 10, 25, 3, 0)), kAutumn + 3600);
}

TEST(TimeZoneTest, TheFooterRuleAgreesWithTheTransitions) {
  std::optional<TimeZone> zone = berlin();
  if (!zone) GTEST_SKIP() << "no Europe/Berlin in the zone database";
  std::optional<ZoneRule> rule = ZoneRule::parse("CET-1CEST,M3.5.0,M10.5.0/3");
  ASSERT_TRUE(rule);
  TimeZone ruled("rule", 3600, {}, rule);
  for (int64_t at = utc(2026, 1, 1, 0, 0); at < utc(2031, 1, 1, 0, 0); at += 1800) {
    ASSERT_EQ(ruled.offsetAt(at), zone->offsetAt(at)) << at;
  }
  // Southern: summer across the new year.
  std::optional<ZoneRule> south = ZoneRule::parse("<-03>3<-02>,M10.1.0/0,M3.3.0/0");
  ASSERT_TRUE(south);
  EXPECT_EQ(south->offsetAt(utc(2040, 1, 15, 12, 0)), -7200);
  EXPECT_EQ(south->offsetAt(utc(2040, 6, 15, 12, 0)), -10800);
  EXPECT_FALSE(ZoneRule::parse("CET-1CEST,J60,J300"));
}

TEST(TimeZoneTest, BadNamesAndFilesAreRefused) {
  std::string error;
  for (const char* name : {"../etc/passwd", "/etc/passwd", "Europe/../../x", "", "No/Such_Zone"}) {
    EXPECT_FALSE(TimeZone::load(name, &error)) << name;
  }
  EXPECT_FALSE(TimeZone::fromTzif("x", "TZif2", &error));
  EXPECT_FALSE(TimeZone::fromTzif("x", std::string(100, '\0'), &error));
  EXPECT_TRUE(TimeZone::load("UTC", &error));
}

TEST(CronTest, RefusesWhatIsNoExpression) {
  const char* kBad[] = {"",           "* * * *",   "60 * * * *",  "* 24 * * *",  "* * 0 * *",
                        "* * * 13 *", "* * * * 8", "5-1 * * * *", "*/0 * * * *", "1,,2 * * * *",
                        "a * * * *",  "1, * * * *"};
  for (const char* text : kBad) {
    std::string why;
    EXPECT_FALSE(Cron::parse(text, &why)) << text;
    EXPECT_FALSE(why.empty()) << text;
  }
}

TEST(CronTest, FindsTheNextMomentInUtc) {
  TimeZone zone;
  const struct {
    const char* cron;
    int64_t after;
    int64_t next;
  } kCases[] = {
      {"0 4 * * *", utc(2026, 12, 9, 3, 0), utc(2026, 12, 9, 4, 0)},
      {"0 4 * * *", utc(2026, 12, 9, 4, 0), utc(2026, 12, 10, 4, 0)},
      {"*/15 * * * *", utc(2026, 12, 9, 4, 1), utc(2026, 12, 9, 4, 15)},
      {"0 0 29 2 *", utc(2026, 3, 1, 0, 0), utc(2028, 2, 29, 0, 0)},
      {"0 12 * * 1-5", utc(2026, 12, 12, 0, 0), utc(2026, 12, 14, 12, 0)},  // Sat -> Mon
      {"0 12 1 * 0", utc(2026, 12, 2, 0, 0), utc(2026, 12, 6, 12, 0)},      // day or Sunday
      {"0 12 * * 7", utc(2026, 12, 2, 0, 0), utc(2026, 12, 6, 12, 0)},
      {"30 1-3/2 * 1,6 *", utc(2026, 12, 9, 0, 0), utc(2027, 1, 1, 1, 30)},
  };
  for (const auto& c : kCases) {
    std::string why;
    std::optional<Cron> cron = Cron::parse(c.cron, &why);
    ASSERT_TRUE(cron) << c.cron << ": " << why;
    EXPECT_EQ(cron->next(zone, c.after), c.next) << c.cron;
  }
  std::string why;
  EXPECT_FALSE(Cron::parse("0 0 31 2 *", &why)->next(zone, 0));
  EXPECT_TRUE(Cron::parse("* 4 * * *", &why)->everyMinute());
  EXPECT_FALSE(Cron::parse("0-58 * * * *", &why)->everyMinute());
}

}  // namespace
}  // namespace gsadmin
