#ifndef GSADMIN_BENCH_RECONNECT_BENCH_H_
#define GSADMIN_BENCH_RECONNECT_BENCH_H_

#include <cstdint>
#include <string>
#include <vector>

#include "results_table.h"

namespace gsadmin::bench {

// The real binary on a PostgreSQL server the bench starts, whose database
// holds `bans` active bans, with its journal, played to as in the outage
// bench (game_play.h) once it has read the bans. After kBeforeSeconds the
// server is stopped (pg_ctl stop) and kAwaySeconds later started again;
// the client reconnects and, having missed the notices meanwhile, reads
// every ban again. The probes run on until that reading is over (the
// reader's thread has ended) and kAfterSeconds more.
struct ReconnectRun {
  bool ran = false;
  std::string failure;
  double baseLagP99Ms = 0;  // the kBeforeSeconds before the stop
  double baseLagMaxMs = 0;
  double lagP99Ms = 0;  // from the stop to kAfterSeconds after the bans were read again
  double lagMaxMs = 0;
  size_t lagSamples = 0;
  double joinP99Ms = 0;  // the same window
  double joinMaxMs = 0;
  uint64_t wrongChecks = 0;
  double rereadSeconds = 0;  // from the server's start until the bans were read again
  bool reread = false;
  double windowSeconds = 0;
};

inline constexpr int kBeforeSeconds = 10;
inline constexpr int kAwaySeconds = 3;
inline constexpr int kAfterSeconds = 5;

// `program` is the client run.
ReconnectRun measureReconnect(int bans, const std::string& program);
// The rows of `run`, named with `label` when not empty.
void addReconnectRows(const ReconnectRun& run, int bans, const std::string& label,
                      std::vector<ResultRow>& rows);
// 1 000 000 bans: the binary `before` when given ("before"), then this
// build's ("now" beside it).
std::vector<ResultRow> reconnectRows(const std::string& before);

extern const char kReconnectNotes[];

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_RECONNECT_BENCH_H_
