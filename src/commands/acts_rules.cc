// The console's view of the moderation rules: their listing and a reload,
// through the session's RuleControl.

#include "commands/acts.h"
#include "context/rule_control.h"
#include "context/session_context.h"

namespace gsadmin::acts {

Outcome listRules(ActContext& context, const ActRequest&) {
  RuleControl* rules = context.session.ruleControl();
  if (rules == nullptr) return Outcome::refused("no rules: start with --rules=FILE");
  Outcome outcome;
  outcome.lines = rules->listing();
  return outcome;
}

Outcome reloadRules(ActContext& context, const ActRequest&) {
  RuleControl* rules = context.session.ruleControl();
  if (rules == nullptr) return Outcome::refused("no rules: start with --rules=FILE");
  std::string refusal = rules->reload();
  if (!refusal.empty()) return Outcome::refused(refusal + "; the rules in force stay");
  Outcome outcome;
  outcome.lines = rules->listing();
  return outcome;
}

}  // namespace gsadmin::acts
