#ifndef GSADMIN_APP_RULES_COMMANDS_H_
#define GSADMIN_APP_RULES_COMMANDS_H_

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "app/options.h"
#include "rules/rule_set.h"
#include "rules/schedule.h"

namespace gsadmin {

// The one-shot uses of the rules and the schedule, without connecting:
// --replay (with --rules) and --next (with --schedule). The exit status
// when the options ask for one, else none. A bad file gets its one line on
// `err` and status 2.
std::optional<int> runRulesCommands(const Options& options, std::FILE* out, std::FILE* err);

// Prints, one line each, what the rules would do on the console log at
// `logPath`: "[stamp] RULE NAME: ACT PLAYER (WHY)". Status 0, or 2 when
// the log cannot be read.
int replayLog(RuleSet rules, const std::string& logPath, std::FILE* out, std::FILE* err,
              const std::vector<std::string>& gameAdmins = {});

// Prints each entry's next `count` moments after `now`: "NAME: YYYY-MM-DD
// HH:MM ZONE (YYYY-MM-DD HH:MM UTC)".
void printNextTimes(const ScheduleSet& set, uint64_t count, int64_t now, std::FILE* out);

// The checked files of --rules and --schedule; false after their one line
// on `err` (the start then ends with status 2).
bool takeRuleFiles(const Options& options, std::optional<RuleSet>* rules,
                   std::optional<ScheduleSet>* schedule, std::FILE* err);

}  // namespace gsadmin

#endif  // GSADMIN_APP_RULES_COMMANDS_H_
