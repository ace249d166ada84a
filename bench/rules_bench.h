#ifndef GSADMIN_BENCH_RULES_BENCH_H_
#define GSADMIN_BENCH_RULES_BENCH_H_

#include <vector>

#include "results_table.h"

namespace gsadmin::bench {

// (l) The moderation rules and the schedule, in process: chat lines through
// 50 rules, a pathological pattern under RE2 beside std::regex, and 10 000
// schedule entries over a simulated year with two clock changes.
std::vector<ResultRow> rulesRows();

extern const char kRulesNotes[];

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_RULES_BENCH_H_
