#ifndef GSADMIN_CONTEXT_RULE_CONTROL_H_
#define GSADMIN_CONTEXT_RULE_CONTROL_H_

#include <cstddef>
#include <string>
#include <vector>

namespace gsadmin {

// What the console's ".rules" reaches of the moderation rules the session
// runs (rules/rule_runner.h), without the acts depending on them.
// One rule as the panel shows it: its name, kind, ladder and matches in
// the last hour.
struct RuleSummary {
  std::string name;
  std::string kind;
  std::vector<std::string> acts;
  size_t matchesLastHour = 0;
};

class RuleControl {
 public:
  virtual ~RuleControl() = default;
  // Every rule in force, in the file's order.
  virtual std::vector<RuleSummary> summary() = 0;
  // One line a rule: its name, kind, ladder and matches in the last hour;
  // then the events the time budget cut short, when any, and the keys the
  // file has that were ignored.
  virtual std::vector<std::string> listing() = 0;
  // Reads the file again; empty when the new rules replaced the old, else
  // the one line that refused them (the old ones stay).
  virtual std::string reload() = 0;
  // The file's keys that were ignored: "FILE:LINE: unknown key "KEY" ignored".
  virtual std::vector<std::string> warnings() = 0;
};

}  // namespace gsadmin

#endif  // GSADMIN_CONTEXT_RULE_CONTROL_H_
