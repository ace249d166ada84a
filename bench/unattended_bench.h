#ifndef GSADMIN_BENCH_UNATTENDED_BENCH_H_
#define GSADMIN_BENCH_UNATTENDED_BENCH_H_

#include <optional>
#include <string>
#include <vector>

#include "bench_options.h"
#include "results_table.h"

namespace gsadmin::bench {

// Running unattended: (n) a reconnection with 1 000 000 bans and the
// partial outages (each options.outageSeconds long; left out at 0), each
// of the build of options.beforeBinary too when given, (o) the records'
// bytes on disk and the JSON log's cost.
std::vector<ResultRow> unattendedRows(const Options& options);

// The run of --unattended-only, --reconnect-only, --outage-only,
// --record-bytes-only or --json-log-only, its table printed; nothing when
// none of them was given.
std::optional<int> runUnattendedPart(const Options& options);

// How those rows are measured, for the notes under the table.
std::string unattendedNotes();

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_UNATTENDED_BENCH_H_
