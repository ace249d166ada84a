#ifndef GSADMIN_BENCH_REPORT_FLOW_BENCH_H_
#define GSADMIN_BENCH_REPORT_FLOW_BENCH_H_

#include <cstdint>
#include <vector>

#include "results_table.h"

namespace gsadmin::bench {

// Players' reports made in game, end to end: the real simulator plays a
// scenario of `reports` pairs of players (report_flow.h), one report every
// 1/`perSecond` s, to the real client, which serves the panel on loopback
// and keeps its records in a SQLite file. One event stream of the panel,
// opened before the first report, stamps each report's console line as it
// comes; the simulator stamps the "!report" line it sends (--epoch-stamps),
// both by the wall clock of this machine. Once the last report's evidence
// is copied (a minute after it), every report is read back by
// GET /api/reports/N and its evidence set beside the simulator's log of
// its two players within the report's window.
struct ReportFlow {
  int reports = 0;
  int sentPerSecondTimes10 = 0;  // the rate the simulator kept, x10
  int onStream = 0;              // reports whose line the stream showed
  int stored = 0;                // reports read back, evidence copied
  int equal = 0;                 // of them, evidence equal to the log
  int64_t evidenceRows = 0;      // in all
  double medianMs = 0;
  double p99Ms = 0;
  double maxMs = 0;
  bool complete = false;
};
ReportFlow measureReportFlow(int reports, int perSecond);

// The group's rows: (r).
std::vector<ResultRow> reportFlowRows();

extern const char kReportFlowNotes[];

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_REPORT_FLOW_BENCH_H_
