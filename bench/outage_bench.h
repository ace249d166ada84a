#ifndef GSADMIN_BENCH_OUTAGE_BENCH_H_
#define GSADMIN_BENCH_OUTAGE_BENCH_H_

#include <cstdint>
#include <string>
#include <vector>

#include "results_table.h"

namespace gsadmin::bench {

// The client left to run through a partial outage (outage_rig.h says what
// runs): after a warm-up, the outage lasts `seconds` while the games go on,
// then ends, and the measures run on until what was recorded before its
// end is in the database and 2 s more (kRecoverySeconds at least), so that
// the catching up is measured too. The measures over that window: the
// loop's lag (a keep-alive's round trip), the ban check at join, and the
// panel's answers; then, once the probes have ended, every chat line and
// visit played must be in the database exactly once.
struct OutageRun {
  std::string name;
  bool ran = false;
  std::string failure;  // why not, when !ran
  double lagP99Ms = 0;
  double lagMaxMs = 0;
  size_t lagSamples = 0;
  double joinP99Ms = 0;
  double joinMaxMs = 0;
  uint64_t wrongChecks = 0;  // a banned player not kicked, or the reverse
  double loopAnswerP99Ms = 0;
  double loopAnswerMaxMs = 0;
  double recordsReadP99Ms = 0;
  size_t recordsReadOk = 0;  // of the records reads in the window, answered 200
  size_t recordsReads = 0;
  uint64_t chatsMade = 0;  // alpha's and beta's
  int64_t chatRows = -1;
  int64_t chatDistinct = -1;
  uint64_t visitsMade = 0;  // alpha's
  int64_t visitRows = -1;
  // From the outage's end until what was recorded before it was in the
  // database; caughtUp false when it never was within kArrivalWaitSeconds.
  double arrivalSeconds = 0;
  bool caughtUp = false;
  double windowSeconds = 0;  // of the measures: the outage and after it
  bool probesAnswered = false;
  bool faultApplied = false;  // the outage began and ended as meant
};

// The measures after the outage: at least this long, and as long as the
// records take to arrive (at most kArrivalWaitSeconds).
inline constexpr int kRecoverySeconds = 10;
inline constexpr int kWarmUpSeconds = 5;
inline constexpr int kArrivalWaitSeconds = 60;

// A baseline and the four outages, each on a fresh database of one
// PostgreSQL server the bench starts: (a) the server stopped (pg_ctl stop),
// (b) frozen (SIGSTOP of all its processes), (c) the webhook target
// silent, (d) the second client stopped. Empty when PostgreSQL's server
// binaries are missing.
// `which` holds the letters of the outages run after the baseline;
// `program` is the client run.
std::vector<OutageRun> measureOutages(int seconds, const std::string& which,
                                      const std::string& program);

// The rows of `runs` (the baseline first), each named with `label` when
// not empty.
void addOutageRows(const std::vector<OutageRun>& runs, int seconds, const std::string& label,
                   std::vector<ResultRow>& rows);
// The outages in `which` of the binary `before` when given ("before"),
// then of this build's ("now" beside it).
std::vector<ResultRow> outageRows(int seconds, const std::string& which, const std::string& before);

extern const char kOutageNotes[];

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_OUTAGE_BENCH_H_
