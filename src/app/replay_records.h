#ifndef GSADMIN_APP_REPLAY_RECORDS_H_
#define GSADMIN_APP_REPLAY_RECORDS_H_

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rules/rule_set.h"
#include "storage/database.h"

namespace gsadmin {

// The prefix of --replay that names the records instead of a log.
inline constexpr char kReplayRecordsPrefix[] = "db:";
// The most days one replay of the records reads.
inline constexpr int64_t kMaxReplayDays = 366;

// Whole UTC days, both included: [from, to) in seconds since the epoch.
struct ReplayRange {
  int64_t from = 0;
  int64_t to = 0;
};

// "YYYY-MM-DD..YYYY-MM-DD" (after "db:"), the first not after the last and
// at most kMaxReplayDays; none for anything else.
std::optional<ReplayRange> parseReplayRange(std::string_view text);

// Prints, one line each, what the rules would do on the chat and kills the
// records of `database` hold within `range`, in time order: "[YYYY-MM-DD
// HH:MM:SS] RULE NAME: ACT PLAYER (WHY)", the stamp in UTC. Reads one day
// at a time and writes nothing. Status 0, or 2 when the records cannot be
// read (their one line on `err`).
// The names of the admins in game (gs_admins) of `database`, as the
// console prints them; none with *error set when they cannot be read.
std::optional<std::vector<std::string>> readGameAdminNames(Database& database, std::string* error);

int replayRecords(RuleSet rules, Database& database, ReplayRange range, std::FILE* out,
                  std::FILE* err);

}  // namespace gsadmin

#endif  // GSADMIN_APP_REPLAY_RECORDS_H_
