#ifndef GSADMIN_BENCH_BEFORE_AFTER_BENCH_H_
#define GSADMIN_BENCH_BEFORE_AFTER_BENCH_H_

#include <string>
#include <vector>

#include "results_table.h"

namespace gsadmin::bench {

// Figures of this build beside those of an earlier one, taken in one run:
// the bench program of the earlier build is run for its figures, then this
// one, in turn. `beforeBinary` is the earlier build's gsadmin (as for
// --before); its bench is bench/gsadmin_bench beside it, and must know
// --handler-feed and --ban-check-figures. Empty: this build's figures alone.

// (j) Instructions per event on the Lua handler path (callgrind), for each
// kind of handler-path-bench.h; within 2% of before for positions and chat.
std::vector<ResultRow> handlerPathRows(const std::string& beforeBinary, int events);
// The handler path's chat with the console as text and as JSON, this build.
std::vector<ResultRow> jsonLogRows(int events);

// (j) The ban check at join with `bans` bans, on SQLite and, when its
// server binaries are installed, PostgreSQL; p99 under 1 ms.
std::vector<ResultRow> banCheckRows(const std::string& beforeBinary, int bans, int joins);

// Both, as the bench runs them: 20 000 events of each kind, 1 000 000 bans
// and 10 000 joins.
std::vector<ResultRow> beforeAfterRows(const std::string& beforeBinary);

// The child's side of banCheckRows, for --ban-check-figures=BANS:JOINS[:postgres]:
// prints the figures on one line; 0 when every banned join was kicked.
int runBanCheckFigures(const std::string& run);

// How the rows are measured, for the notes under the table.
extern const char kBeforeAfterNotes[];

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_BEFORE_AFTER_BENCH_H_
