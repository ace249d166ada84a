#include "app/replay_records.h"

#include <charconv>

#include "base/durations.h"
#include "console/printable.h"
#include "rules/rule_engine.h"
#include "rules/time_zone.h"

namespace gsadmin {
namespace {

// Chat and kills of one span, in time order (the chat of a second before
// its kills, each table in the order written). Private messages are chat,
// as the live rules see them.
constexpr char kEventsSql[] =
    "SELECT time, 0 AS kind, id, name, text, '' AS victim FROM gs_chat"
    " WHERE time >= ? AND time < ?"
    " UNION ALL SELECT time, 1 AS kind, id, killer, '' AS text, victim FROM gs_kills"
    " WHERE time >= ? AND time < ? ORDER BY 1, 2, 3";

// Seconds since the epoch of the UTC day "YYYY-MM-DD", or none.
std::optional<int64_t> dayStart(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  int year = 0;
  unsigned month = 0, day = 0;
  auto number = [&text](size_t at, size_t length, auto* value) {
    const char* end = text.data() + at + length;
    auto [stop, error] = std::from_chars(text.data() + at, end, *value);
    return error == std::errc() && stop == end;
  };
  if (!number(0, 4, &year) || !number(5, 2, &month) || !number(8, 2, &day)) return std::nullopt;
  if (month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
  int64_t days = daysFromCivil(year, month, day);
  // A day past its month's end (2026-02-30) comes back as another date.
  int64_t checkYear = 0;
  unsigned checkMonth = 0, checkDay = 0;
  civilFromDays(days, &checkYear, &checkMonth, &checkDay);
  if (checkYear != year || checkMonth != month || checkDay != day) return std::nullopt;
  return days * kSecondsPerDay;
}

std::string stampOf(int64_t second) {
  int64_t days = (second >= 0 ? second : second - (kSecondsPerDay - 1)) / kSecondsPerDay;
  int64_t year = 0;
  unsigned month = 0, day = 0;
  civilFromDays(days, &year, &month, &day);
  int64_t inDay = second - days * kSecondsPerDay;
  char text[40];
  std::snprintf(text, sizeof text, "[%04lld-%02u-%02u %02lld:%02lld:%02lld] ",
                static_cast<long long>(year), month, day, static_cast<long long>(inDay / 3600),
                static_cast<long long>(inDay / 60 % 60), static_cast<long long>(inDay % 60));
  return text;
}

}  // namespace

std::optional<ReplayRange> parseReplayRange(std::string_view text) {
  size_t dots = text.find("..");
  if (dots == std::string_view::npos) return std::nullopt;
  std::optional<int64_t> from = dayStart(text.substr(0, dots));
  std::optional<int64_t> last = dayStart(text.substr(dots + 2));
  if (!from || !last || *last < *from) return std::nullopt;
  if ((*last - *from) / kSecondsPerDay >= kMaxReplayDays) return std::nullopt;
  return ReplayRange{*from, *last + kSecondsPerDay};
}

std::optional<std::vector<std::string>> readGameAdminNames(Database& database, std::string* error) {
  // Bounded like the admins the client holds: they are few.
  StatementResult rows = database.run("SELECT name FROM gs_admins ORDER BY name LIMIT 10000", {});
  if (rows.error) {
    *error = *rows.error;
    return std::nullopt;
  }
  std::vector<std::string> names;
  for (size_t row = 0; row < rows.rowCount(); ++row)
    names.push_back(printable(rows.values[row].bytes));
  return names;
}

int replayRecords(RuleSet rules, Database& database, ReplayRange range, std::FILE* out,
                  std::FILE* err) {
  RuleEngine engine(std::move(rules));
  for (int64_t day = range.from; day < range.to; day += kSecondsPerDay) {
    DbValue from = DbValue::integer(day), to = DbValue::integer(day + kSecondsPerDay);
    StatementResult rows = database.run(kEventsSql, {from, to, from, to});
    if (rows.error) {
      std::fprintf(err, "gsadmin: --replay: %s\n", rows.error->c_str());
      return 2;
    }
    size_t width = rows.columns.size();
    for (size_t row = 0; row < rows.rowCount(); ++row) {
      const DbValue* values = &rows.values[row * width];
      RuleEvent event;
      event.second = values[0].integerValue;
      event.kind = values[1].integerValue == 0 ? RuleEvent::Kind::kChat : RuleEvent::Kind::kKill;
      event.player = printable(values[3].bytes);
      event.text = printable(values[4].bytes);
      event.victim = printable(values[5].bytes);
      for (const Decision& decision : engine.observe(event)) {
        std::fprintf(out, "%s%s\n", stampOf(event.second).c_str(), decision.line().c_str());
      }
    }
  }
  if (uint64_t skipped = engine.skippedEvents()) {
    std::fprintf(err, "gsadmin: %llu event(s) cut short by the time budget\n",
                 static_cast<unsigned long long>(skipped));
  }
  return 0;
}

}  // namespace gsadmin
