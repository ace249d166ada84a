#ifndef GSADMIN_RULES_SCHEDULE_RUNNER_H_
#define GSADMIN_RULES_SCHEDULE_RUNNER_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "rules/schedule.h"

namespace gsadmin {

class SessionContext;

// The longest the loop sleeps with a schedule, so that a wall clock set
// forward is noticed within it.
inline constexpr uint64_t kScheduleWakeMs = 60000;

// The schedule of one session, live: one of the loop's wake-up deadlines.
// Each firing is carried out through the command table as the actor
// "schedule:NAME": chat, messages to the admins in game, a typed console
// command; a call goes to `callScript`. The session must outlive it.
class ScheduleRunner {
 public:
  // Calls the global `function` of the script `script`; false when there
  // is no such script.
  using ScriptCall = std::function<bool(std::string_view script, std::string_view function)>;

  ScheduleRunner(SessionContext& session, ScheduleSet set, ScriptCall callScript);

  // Milliseconds until the next firing is due on the session's wall clock,
  // at most kScheduleWakeMs; 0 when one is due.
  uint64_t msUntilDue();
  // Carries out the firings due now.
  void poll();

 private:
  void carryOut(const Firing& firing);

  SessionContext& session_;
  Scheduler scheduler_;
  ScriptCall callScript_;
};

}  // namespace gsadmin

#endif  // GSADMIN_RULES_SCHEDULE_RUNNER_H_
