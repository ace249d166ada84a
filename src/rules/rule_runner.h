#ifndef GSADMIN_RULES_RULE_RUNNER_H_
#define GSADMIN_RULES_RULE_RUNNER_H_

#include <cstdint>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "context/rule_control.h"
#include "events/events.h"
#include "rules/rule_engine.h"

namespace gsadmin {

class SessionContext;

// The moderation rules of one session, live: watches the events the
// session fires (as a watcher beside the scripts), gives the chat, kills
// and joins to its RuleEngine and carries each decision out through the
// command table as the actor "rule:NAME", with the decision's line at the
// console. The session must outlive it.
class RuleRunner : public EventSink, public RuleControl {
 public:
  RuleRunner(SessionContext& session, RuleSet rules);
  ~RuleRunner() override;

  void fire(Event event, std::span<const EventArgument> arguments) override;

  std::vector<RuleSummary> summary() override;
  std::vector<std::string> listing() override;
  std::string reload() override;
  std::vector<std::string> warnings() override;

 private:
  void observe(RuleEvent event);
  void carryOut(const Decision& decision);
  // Runs the act `name` on the decision's player; a refusal gets a line.
  void act(const Decision& decision, const char* name, std::string text, int64_t seconds = 0);
  void tellAdmins(const Decision& decision);

  SessionContext& session_;
  std::unique_ptr<RuleEngine> engine_;
  // The players whose join was seen (or who were there at the login), so
  // that details sent again are not a second join.
  std::set<uint8_t> joined_;
  // Set while a decision is carried out: the events its acts fire are
  // not watched.
  bool acting_ = false;
};

}  // namespace gsadmin

#endif  // GSADMIN_RULES_RULE_RUNNER_H_
