#ifndef GSADMIN_BENCH_STORAGE_BENCH_H_
#define GSADMIN_BENCH_STORAGE_BENCH_H_

namespace gsadmin::bench {

// How fast a script uses its database, from Lua through dbExec and dbQuery,
// in an in-process session whose database is a real file in a temporary
// directory. Each round inserts `rowsPerRound` rows of three columns inside
// one transaction, then runs `queriesPerRound` single-row primary-key
// queries. Rates are medians of `rounds` rounds, per second.
struct StorageRates {
  double insertsPerSecond = 0;
  double queriesPerSecond = 0;
  bool complete = false;  // every statement succeeded and every row was found
};
StorageRates measureStorageRates(int rounds, int rowsPerRound, int queriesPerRound);

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_STORAGE_BENCH_H_
