#ifndef GSADMIN_PANEL_CHART_DATA_H_
#define GSADMIN_PANEL_CHART_DATA_H_

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "storage/database.h"

namespace gsadmin {

// Counts in steps of equal length: values[i] is the count of the step that
// begins at start + i * step (seconds since the epoch). The last step holds
// the moment asked for. No values: nothing is recorded of its kind (the
// table is missing or cannot be read).
struct ChartSeries {
  int64_t start = 0;
  int64_t step = 0;
  std::vector<int64_t> values;
};

// The step-wise sum of `series`, all of the same start, step and length
// (as playersOnline makes them over one span); none when `series` is empty
// or one of them has no values.
ChartSeries sumOf(const std::vector<ChartSeries>& series);

// The charts of the panel, read from the moderation's tables of the
// client's database: on a reader thread of the panel, over a read-only
// connection of its own.

// The most players on the server `server` at once in each of `steps`
// steps of `stepSeconds` up to `now`, from its visits (gs_sessions; rows
// without a server count as its too), each player once however many of
// its visits overlap. A visit not yet closed lasts until now when it is
// the latest of a player online now (`onlineKeys`, names as nameKey()
// gives them); any other was left open by a client that stopped, and
// counts as a moment at its start.
ChartSeries playersOnline(Database& database, int64_t now, int64_t stepSeconds, size_t steps,
                          const std::set<std::string>& onlineKeys, const std::string& server);

// What the chart counts per minute.
enum class PerMinute { kChatLines, kKills };

// Chat lines (gs_chat) or kills (gs_kills) in each of the last `minutes`
// minutes up to `now`.
ChartSeries perMinute(Database& database, PerMinute what, int64_t now, size_t minutes);

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_CHART_DATA_H_
