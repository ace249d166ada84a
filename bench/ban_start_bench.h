#ifndef GSADMIN_BENCH_BAN_START_BENCH_H_
#define GSADMIN_BENCH_BAN_START_BENCH_H_

#include <string>
#include <vector>

#include "results_table.h"

namespace gsadmin::bench {

// The real binary started on a database file of `bans` active bans: how
// long from its start until it is connected (the login answered, the
// client answering), its resident memory once the bans are read (VmRSS
// steady for a second), and the ban check at join while a busy-loop child
// takes one core: each of `joins` player-joined datagrams, every other one
// of a banned name in another letter case, is followed by a keep-alive
// request and timed until its answer (so the join's handling and check are
// in it); every banned join must be kicked, no other.
struct BanStartResult {
  bool ran = false;
  double connectMs = 0;
  double residentMiB = 0;
  double emptyMiB = 0;  // the same binary connected with no bans
  double joinP99Us = 0;
  double joinMaxUs = 0;
  double bannedP99Us = 0;  // the banned joins alone (told and kicked)
  double freeP99Us = 0;    // the others
  bool complete = false;   // every banned join kicked, no other
};
// `schemaVersion`: that the binary knows (2 before the skeleton column).
BanStartResult measureBanStart(const std::string& binary, int schemaVersion, int bans, int joins);

// The rows of this build and, when `beforeBinary` is given, of that build
// (tables of version 2) first: (f) RSS with 1 000 000 bans, start to
// connected, and the ban check at join with one core busy.
std::vector<ResultRow> banStartRows(const std::string& beforeBinary);

extern const char kBanStartNotes[];

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_BAN_START_BENCH_H_
