#ifndef GSADMIN_BENCH_PAGE_BENCH_H_
#define GSADMIN_BENCH_PAGE_BENCH_H_

#include <vector>

#include "results_table.h"

namespace gsadmin::bench {

// (q) The panel's page as a browser gets it: the bytes of every file it
// loads, and, with 256 players moving at 10 updates a second, how long a
// change in the players table takes to show in headless Chromium.
std::vector<ResultRow> pageRows();

extern const char kPageNotes[];

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_PAGE_BENCH_H_
