#ifndef GSADMIN_BENCH_LOGIN_BENCH_H_
#define GSADMIN_BENCH_LOGIN_BENCH_H_

#include <vector>

#include "results_table.h"

namespace gsadmin::bench {

// (p) Panel logins through the real binary: accounts with a password alone
// beside accounts enrolled for one-time codes, logging in by turns, each
// once (a code is taken once); and the code's check in process.
std::vector<ResultRow> loginRows();

extern const char kLoginNotes[];

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_LOGIN_BENCH_H_
