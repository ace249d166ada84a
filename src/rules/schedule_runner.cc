#include "rules/schedule_runner.h"

#include <algorithm>

#include "commands/commands.h"
#include "console/printable.h"
#include "context/session_context.h"
#include "moderation/moderation.h"

namespace gsadmin {
namespace {

// The schedule reaches the acts the scripts reach; the actor tells them apart.
constexpr unsigned kScheduleDoor = kScriptDoor;

}  // namespace

ScheduleRunner::ScheduleRunner(SessionContext& session, ScheduleSet set, ScriptCall callScript)
    : session_(session),
      scheduler_(std::move(set), session.clock().wallSeconds()),
      callScript_(std::move(callScript)) {}

uint64_t ScheduleRunner::msUntilDue() {
  std::optional<int64_t> next = scheduler_.nextAt();
  if (!next) return kScheduleWakeMs;
  int64_t now = session_.clock().wallSeconds();
  if (*next <= now) return 0;
  return std::min<uint64_t>(static_cast<uint64_t>(*next - now) * 1000, kScheduleWakeMs);
}

void ScheduleRunner::poll() {
  for (const Firing& firing : scheduler_.due(session_.clock().wallSeconds())) carryOut(firing);
}

void ScheduleRunner::carryOut(const Firing& firing) {
  const ScheduleEntry& entry = scheduler_.set().entries[firing.entry];
  Actor actor{Actor::Kind::kSchedule, entry.name, kOperatorLevel, std::nullopt};
  std::string text = firing.text(scheduler_.set());
  Commands& commands = session_.commands();
  ActRequest request;
  request.actor = actor;
  request.text = text;
  switch (entry.what) {
    case ScheduleEntry::What::kChat:
      if (const Act* chat = commands.find("chat", kScheduleDoor)) {
        Outcome outcome = commands.run(*chat, kScheduleDoor, request);
        if (!outcome.done()) session_.console().line("* " + actor.label() + ": " + outcome.refusal);
      }
      return;
    case ScheduleEntry::What::kAdmins: {
      session_.console().line("* " + actor.label() + " to the admins: " + printable(text));
      Moderation* moderation = session_.moderation();
      const Act* message = commands.find("message", kScheduleDoor);
      if (moderation == nullptr || message == nullptr) return;
      for (const auto& player : session_.players().all()) {
        if (moderation->levelOf(*player) <= 0) continue;
        request.target = Target{player->id, player->name};
        commands.run(*message, kScheduleDoor, request);
      }
      return;
    }
    case ScheduleEntry::What::kCommand: {
      std::string_view line = std::string_view(text).substr(1);
      size_t space = line.find(' ');
      std::string_view word = line.substr(0, space);
      std::string_view rest = space == std::string_view::npos ? "" : line.substr(space + 1);
      if (!commands.runTyped(actor, kConsoleDoor, word, rest)) {
        session_.console().line("* " + actor.label() + ": no command ." + std::string(word));
      }
      return;
    }
    case ScheduleEntry::What::kCall: {
      size_t dot = text.rfind('.');
      session_.console().line("* " + actor.label() + " calls " + text);
      if (!callScript_ || !callScript_(std::string_view(text).substr(0, dot),
                                       std::string_view(text).substr(dot + 1))) {
        session_.console().line("* " + actor.label() + ": no script " + text.substr(0, dot));
      }
      return;
    }
  }
}

}  // namespace gsadmin
