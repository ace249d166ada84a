// The session's moderation rules and schedule: made from the checked
// files, watching the events and waking the loop.

#include "session/admin_session.h"

namespace gsadmin {

void AdminSession::startRules(SessionIo& io) {
  if (io.rules) {
    rules_ = std::make_unique<RuleRunner>(*this, std::move(*io.rules));
    events_->setWatcher(rules_.get());
  }
  if (io.schedule) {
    schedule_ = std::make_unique<ScheduleRunner>(
        *this, std::move(*io.schedule), [this](std::string_view script, std::string_view function) {
          return callScheduled(script, function);
        });
  }
}

void AdminSession::reloadRules() {
  if (!rules_) return;
  std::string refusal = rules_->reload();
  console_->line(refusal.empty() ? "RULES: reloaded"
                                 : "RULES: " + refusal + "; the rules in force stay");
  if (!refusal.empty()) return;
  for (const std::string& warning : rules_->warnings()) console_->line("RULES: " + warning);
}

bool AdminSession::callScheduled(std::string_view script, std::string_view function) {
  Script* found = scripts_->find(script);
  if (found == nullptr || !found->loaded()) return false;
  scripts_->fetchFunction(function);
  scripts_->callFunctionIn(*found, 0);
  return true;
}

}  // namespace gsadmin
