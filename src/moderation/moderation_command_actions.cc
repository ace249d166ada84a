// The moderation commands that act: warn, kick, tempban, ban, unban, note
// and the admins in game.

#include "base/durations.h"
#include "console/printable.h"
#include "moderation/moderation.h"
#include "moderation/moderation_commands.h"

namespace gsadmin {
namespace {

// The longest ban a moderator may give.
constexpr int64_t kModeratorBanSeconds = 24 * 3600;

const char kDurationExamples[] = "such as 30m, 2h, 7d or 1d12h (at most 10 years)";

}  // namespace

void ModerationCommands::actWithReason(const Request& request, std::string_view rest,
                                       ReasonAction action) {
  Split split = splitPlayer(rest);
  std::optional<uint8_t> id = targetOnline(request, split.name);
  if (!id) return;
  report(request, (moderation_.*action)(request.actor, *id, split.rest));
}

void ModerationCommands::warn(const Request& request, std::string_view rest) {
  actWithReason(request, rest, &Moderation::warn);
}

void ModerationCommands::kick(const Request& request, std::string_view rest) {
  actWithReason(request, rest, &Moderation::kick);
}

void ModerationCommands::ban(const Request& request, std::string_view rest) {
  actWithReason(request, rest, &Moderation::ban);
}

void ModerationCommands::tempban(const Request& request, std::string_view rest) {
  Split split = splitPlayer(rest);
  std::optional<uint8_t> id = targetOnline(request, split.name);
  if (!id) return;
  Split duration = splitAt(split.rest, split.rest.find(' '));
  if (duration.name.empty()) {
    return refuse(request, std::string("a duration is needed, ") + kDurationExamples);
  }
  std::optional<int64_t> seconds = parseDuration(duration.name);
  if (!seconds) {
    return refuse(request,
                  "'" + printable(duration.name) + "' is not a duration " + kDurationExamples);
  }
  if (request.actor.level <= kModeratorLevel && *seconds > kModeratorBanSeconds) {
    return refuse(request, "you may not ban for more than " + formatDuration(kModeratorBanSeconds));
  }
  report(request, moderation_.tempban(request.actor, *id, *seconds, duration.rest));
}

void ModerationCommands::unban(const Request& request, std::string_view rest) {
  std::string name(trimmed(rest));
  if (name.empty()) return refuse(request, "a name is needed");
  size_t lifted = moderation_.unban(request.actor, name);
  // The console has the action's line, which says it even of none.
  if (request.actor.kind == Actor::Kind::kPlayer) {
    answer(request, request.command + ": lifted " + std::to_string(lifted) + " ban(s) on " + name);
  }
}

void ModerationCommands::note(const Request& request, std::string_view rest) {
  Split split = splitRecordedName(rest);
  if (split.name.empty() || split.rest.empty()) {
    return refuse(request, "a name and a text are needed");
  }
  report(request, moderation_.note(request.actor, split.name, split.rest));
}

void ModerationCommands::admin(const Request& request, std::string_view rest) {
  Split split = splitAt(trimmed(rest), trimmed(rest).find(' '));
  if (split.name == "add") return addAdmin(request, split.rest);
  if (split.name == "remove" && !split.rest.empty()) {
    return report(request, moderation_.removeAdmin(request.actor, split.rest));
  }
  if (split.name == "remove") return refuse(request, "a name is needed");
  refuse(request, "add PLAYER LEVEL, or remove NAME");
}

void ModerationCommands::addAdmin(const Request& request, std::string_view rest) {
  // LEVEL is the last word, so that PLAYER may hold blanks.
  size_t space = rest.rfind(' ');
  Split split = splitAt(rest, space == std::string_view::npos ? rest.size() : space);
  std::optional<uint8_t> id = targetOnline(request, split.name);
  if (!id) return;
  int level = split.rest.size() == 1 ? split.rest[0] - '0' : 0;
  if (level < kModeratorLevel || level > kSeniorLevel) {
    return refuse(request, "LEVEL is 1 (moderator), 2 (admin) or 3 (senior)");
  }
  report(request, moderation_.addAdmin(request.actor, *id, level));
}

void ModerationCommands::report(const Request& request, const std::string& refusal) {
  if (!refusal.empty()) return refuse(request, refusal);
  // At the console the action printed its own line; an admin in game sees
  // no console.
  if (request.actor.kind == Actor::Kind::kPlayer) answer(request, request.command + ": done");
}

}  // namespace gsadmin
