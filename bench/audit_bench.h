#ifndef GSADMIN_BENCH_AUDIT_BENCH_H_
#define GSADMIN_BENCH_AUDIT_BENCH_H_

#include <vector>

#include "results_table.h"

namespace gsadmin::bench {

// (m) The audit's chain on SQLite: an append through the store with its
// links beside the same row without them, and the real binary's
// --verify-audit and --export-audit over a million rows.
std::vector<ResultRow> auditRows();

extern const char kAuditNotes[];

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_AUDIT_BENCH_H_
