#include "panel/chart_data.h"

#include <algorithm>
#include <map>
#include <utility>

namespace gsadmin {
namespace {

// Enough for a busy day; a chart never reads more rows than this.
constexpr int64_t kMaxVisitRows = 100000;

// Every visit of the server that may overlap the window, latest first:
// open ones of any age too, so that the latest one of each player is
// known. Rows from before visits named their server ('') count as its.
constexpr char kVisits[] =
    "SELECT name_key, joined, left_at FROM gs_sessions"
    " WHERE joined <= ? AND (left_at IS NULL OR left_at >= ?) AND (server = ? OR server = '')"
    " ORDER BY joined DESC LIMIT ?";
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

// A span of time a player was on, [from, to) in seconds.
using Span = std::pair<int64_t, int64_t>;

// The spans of each player (by name key) that the rows of kVisits give,
// within [start, end). A visit not yet closed lasts until now when it is
// the player's latest and the player is online; any other counts as a
// moment at its start.
std::map<std::string, std::vector<Span>> spansByPlayer(const StatementResult& result, int64_t start,
                                                       int64_t end, int64_t now,
                                                       const std::set<std::string>& onlineKeys) {
  std::map<std::string, std::vector<Span>> spans;
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
    // A visit of no length was still a moment on the server.
    int64_t to = std::min(std::max(left, joined + 1), end);
    if (to <= from) continue;  // an open visit that began before the window
    spans[key].emplace_back(from, to);
  }
  return spans;
}

// +1 at each join and -1 at each leave, a player's overlapping spans as
// one (a player is on once, however many visits say so); in time order, a
// leave before a join at the same moment.
std::vector<std::pair<int64_t, int>> changesOf(std::map<std::string, std::vector<Span>> spans) {
  std::vector<std::pair<int64_t, int>> changes;
  for (auto& [key, list] : spans) {
    std::sort(list.begin(), list.end());
    Span merged = list[0];
    for (const Span& span : list) {
      if (span.first > merged.second) {
        changes.emplace_back(merged.first, 1);
        changes.emplace_back(merged.second, -1);
        merged = span;
      }
      merged.second = std::max(merged.second, span.second);
    }
    changes.emplace_back(merged.first, 1);
    changes.emplace_back(merged.second, -1);
  }
  std::sort(changes.begin(), changes.end());
  return changes;
}

}  // namespace

ChartSeries playersOnline(Database& database, int64_t now, int64_t stepSeconds, size_t steps,
                          const std::set<std::string>& onlineKeys, const std::string& server) {
  ChartSeries series = emptySteps(now, stepSeconds, steps);
  int64_t end = series.start + static_cast<int64_t>(steps) * stepSeconds;
  StatementResult result =
      database.run(kVisits, {DbValue::integer(end - 1), DbValue::integer(series.start),
                             DbValue::text(server), DbValue::integer(kMaxVisitRows)});
  if (result.error) return ChartSeries{series.start, stepSeconds, {}};
  std::vector<std::pair<int64_t, int>> changes =
      changesOf(spansByPlayer(result, series.start, end, now, onlineKeys));
  // Each step's value is the most players on at any moment within it: the
  // count as it begins, and after each change before it ends.
  int64_t online = 0;
  size_t next = 0;
  for (size_t i = 0; i < steps; ++i) {
    int64_t stepEnd = series.start + static_cast<int64_t>(i + 1) * stepSeconds;
    int64_t most = online;
    for (; next < changes.size() && changes[next].first < stepEnd; ++next) {
      online += changes[next].second;
      most = std::max(most, online);
    }
    series.values[i] = most;
  }
  return series;
}

ChartSeries sumOf(const std::vector<ChartSeries>& series) {
  if (series.empty()) return {};
  ChartSeries sum{series[0].start, series[0].step, {}};
  sum.values.assign(series[0].values.size(), 0);
  for (const ChartSeries& one : series) {
    if (one.values.size() != sum.values.size() || one.values.empty())
      return {sum.start, sum.step, {}};
    for (size_t i = 0; i < one.values.size(); ++i) sum.values[i] += one.values[i];
  }
  return sum;
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
