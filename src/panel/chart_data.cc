#include "panel/chart_data.h"

#include <algorithm>
#include <map>
#include <utility>

namespace gsadmin {
namespace {

// Enough for a busy day; a chart never reads more rows than this.
constexpr int64_t kMaxVisitRows = 100000;

// Every visit that may overlap the window, latest first: open ones of any
// age too, so that the latest one of each player is known.
constexpr char kVisits[] =
    "SELECT name_key, joined, left_at FROM gs_sessions"
    " WHERE joined <= ? AND (left_at IS NULL OR left_at >= ?) ORDER BY joined DESC LIMIT ?";
constexpr char kChatPerMinute[] =
    "SELECT (time - ?1) / 60, COUNT(*) FROM gs_chat WHERE time >= ?1 AND time < ?2"
    " GROUP BY 1";
constexpr char kKillsPerMinute[] =
    "SELECT (time - ?1) / 60, COUNT(*) FROM gs_kills WHERE time >= ?1 AND time < ?2"
    " GROUP BY 1";
// `steps` empty steps of `stepSeconds`, the last one holding `now`.
ChartSeries emptySteps(int64_t now, int64_t stepSeconds, size_t steps) {
  ChartSeries series;
  series.step = stepSeconds;
  int64_t end = (now / stepSeconds + 1) * stepSeconds;  // the end of the step holding now
  series.start = end - static_cast<int64_t>(steps) * stepSeconds;
  series.values.assign(steps, 0);
  return series;
}

// The steps, first and last, that one visit of a player covers.
using StepRange = std::pair<int64_t, int64_t>;

// The step ranges of each player (by name key) that the rows of kVisits
// cover within `steps` steps from `start`.
std::map<std::string, std::vector<StepRange>> stepsByPlayer(
    const StatementResult& result, int64_t start, int64_t stepSeconds, size_t steps, int64_t now,
    const std::set<std::string>& onlineKeys) {
  int64_t end = start + static_cast<int64_t>(steps) * stepSeconds;
  std::map<std::string, std::vector<StepRange>> ranges;
  std::set<std::string> openSeen;  // rows come latest first
  for (size_t row = 0; row < result.rowCount(); ++row) {
    const DbValue* values = &result.values[row * result.columns.size()];
    const std::string& key = values[0].bytes;
    int64_t joined = values[1].integerValue;
    int64_t left = joined;
    if (values[2].type != DbValue::Type::kNull) {
      left = std::max(values[2].integerValue, joined);
    } else if (openSeen.insert(key).second && onlineKeys.count(key)) {
      left = now;
    }
    int64_t from = std::max(joined, start);
    int64_t to = std::min(left, end - 1);
    if (to < from) continue;  // an open visit that began before the window
    ranges[key].emplace_back((from - start) / stepSeconds, (to - start) / stepSeconds);
  }
  return ranges;
}

}  // namespace

ChartSeries playersOnline(Database& database, int64_t now, int64_t stepSeconds, size_t steps,
                          const std::set<std::string>& onlineKeys) {
  ChartSeries series = emptySteps(now, stepSeconds, steps);
  int64_t end = series.start + static_cast<int64_t>(steps) * stepSeconds;
  StatementResult result = database.run(
      kVisits,
      {DbValue::integer(end - 1), DbValue::integer(series.start), DbValue::integer(kMaxVisitRows)});
  if (result.error) return ChartSeries{series.start, stepSeconds, {}};
  // Each player counts once in a step, however many of its visits overlap
  // it: its ranges are merged, then added as +1 at the first step and -1
  // after the last.
  std::vector<int64_t> changes(steps + 1, 0);
  for (auto& [key, ranges] :
       stepsByPlayer(result, series.start, stepSeconds, steps, now, onlineKeys)) {
    std::sort(ranges.begin(), ranges.end());
    int64_t first = ranges[0].first, last = ranges[0].second;
    for (const StepRange& range : ranges) {
      if (range.first > last + 1) {
        ++changes[first];
        --changes[last + 1];
        first = range.first;
      }
      last = std::max(last, range.second);
    }
    ++changes[first];
    --changes[last + 1];
  }
  int64_t online = 0;
  for (size_t i = 0; i < steps; ++i) series.values[i] = online += changes[i];
  return series;
}

ChartSeries perMinute(Database& database, PerMinute what, int64_t now, size_t minutes) {
  ChartSeries series = emptySteps(now, 60, minutes);
  bool kills = what == PerMinute::kKills;
  int64_t end = series.start + static_cast<int64_t>(minutes) * 60;
  StatementResult result = database.run(kills ? kKillsPerMinute : kChatPerMinute,
                                        {DbValue::integer(series.start), DbValue::integer(end)});
  if (result.error) return ChartSeries{series.start, 60, {}};
  for (size_t row = 0; row < result.rowCount(); ++row) {
    int64_t minute = result.values[row * 2].integerValue;
    if (minute >= 0 && minute < static_cast<int64_t>(minutes)) {
      series.values[static_cast<size_t>(minute)] = result.values[row * 2 + 1].integerValue;
    }
  }
  return series;
}

}  // namespace gsadmin
