#ifndef GSADMIN_BENCH_BAN_CHECK_BENCH_H_
#define GSADMIN_BENCH_BAN_CHECK_BENCH_H_

#include <vector>

#include "results_table.h"

namespace gsadmin::bench {

// The check of the client's bans when a player joins, with `bans` bans in
// the moderation tables of a real database file, each a numbered sanction
// (gs_sanctions' id, as .tempban writes it): an in-process session
// (in-memory transport) is handed `joins` player-joined datagrams, every
// other one of a banned name in another letter case (told and kicked), and
// each hand-over is timed, handler, ban check and poll included. The
// in-memory lookup alone is timed too.
struct BanCheckResult {
  double loadMs = 0;     // reading the active bans at start
  double joinP99Us = 0;  // a join, handled, 99th percentile
  double joinMaxUs = 0;
  double lookupP99Us = 0;  // Sanctions::activeBan alone
  bool complete = false;   // every banned join kicked, no other
  int bannedJoins = 0;
  int toldNumber = 0;  // banned joins whose message named their ban's number
};
BanCheckResult measureBanCheck(int bans, int joins);

// The result's rows: the join's p99 against its target, the rest for
// information.
void addBanCheckRows(const BanCheckResult& result, int bans, std::vector<ResultRow>& rows);

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_BAN_CHECK_BENCH_H_
