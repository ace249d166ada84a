#ifndef GSADMIN_BENCH_RECORD_BYTES_BENCH_H_
#define GSADMIN_BENCH_RECORD_BYTES_BENCH_H_

#include <string>
#include <vector>

#include "results_table.h"

namespace gsadmin::bench {

// What the records take on disk: `events` chat lines, then `events`
// visits (each started and ended, by 10 000 players in turn), recorded
// through the player history as the client records them, a flush each
// 1000, into a fresh SQLite file and a fresh PostgreSQL database (a server
// the bench starts). Bytes per million events, extrapolated from `events`.
struct RecordBytes {
  bool ran = false;
  double chatBytes = 0;   // per million chat lines
  double visitBytes = 0;  // per million visits
  double textBytes = 0;   // a chat text's mean length
};

// SQLite: the file and its WAL after a checkpoint, grown by the records.
RecordBytes measureSqliteRecordBytes(int events);
// PostgreSQL: pg_total_relation_size of the tables written (gs_chat; then
// gs_sessions and gs_players), with their indexes, grown by the records.
RecordBytes measurePostgresRecordBytes(int events);

// 100 000 of each, on both.
std::vector<ResultRow> recordBytesRows();

extern const char kRecordBytesNotes[];

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_RECORD_BYTES_BENCH_H_
