// The sanctions and the admins in game: each the moderation's action on
// the person the request names, checked again as it runs.

#include "base/durations.h"
#include "commands/acts.h"
#include "commands/target.h"
#include "console/printable.h"
#include "context/admin_actions.h"
#include "context/session_context.h"
#include "moderation/moderation.h"

namespace gsadmin::acts {
namespace {

// Outcome of a moderation action: its refusal, or done.
Outcome outcomeOf(std::string refusal) {
  return Outcome{std::move(refusal), {}, 0};
}

// Without moderation a kick or a ban is the server's request alone: `send`
// on the player the request names, with a "* " line unless plain.
Outcome sendRemoval(ActContext& context, const ActRequest& request, admin::PlayerAction send,
                    const char* done) {
  Outcome outcome;
  const Player* player = onlineTarget(context.session.players(), request.target, &outcome.refusal);
  if (player == nullptr) return outcome;
  std::string name = player->name;
  send(context.session, player->id);
  if (!request.plain) {
    context.session.console().line("* " + printable(request.actor.label()) + " " + done + " " +
                                   printable(name));
  }
  return outcome;
}

// The person the request names, or none with the refusal in *outcome.
std::optional<Person> person(ActContext& context, const ActRequest& request, Outcome* outcome) {
  std::optional<Person> found =
      personTarget(context.session.players(), request.target, &outcome->refusal);
  return found;
}

}  // namespace

Outcome warn(ActContext& context, const ActRequest& request) {
  Outcome outcome;
  std::optional<Person> target = person(context, request, &outcome);
  if (!target) return outcome;
  return outcomeOf(context.moderation->warn(request.actor, *target, request.text));
}

Outcome kick(ActContext& context, const ActRequest& request) {
  if (context.moderation == nullptr)
    return sendRemoval(context, request, admin::kickPlayer, "kicked");
  Outcome outcome;
  const Player* player = onlineTarget(context.session.players(), request.target, &outcome.refusal);
  if (player == nullptr) return outcome;
  return outcomeOf(context.moderation->kick(request.actor, *player, request.text, request.plain));
}

Outcome tempban(ActContext& context, const ActRequest& request) {
  int64_t longest = request.actor.level < kAdminLevel ? kModeratorBanSeconds : 0;
  if (request.actor.grants) longest = request.actor.grants->maxTempbanSeconds;
  if (longest != 0 && request.seconds > longest) {
    return Outcome::refused("you may not ban for more than " + formatDuration(longest));
  }
  Outcome outcome;
  std::optional<Person> target = person(context, request, &outcome);
  if (!target) return outcome;
  return outcomeOf(
      context.moderation->tempban(request.actor, *target, request.seconds, request.text));
}

Outcome ban(ActContext& context, const ActRequest& request) {
  // Without moderation the server's own ban is the only one.
  if (context.moderation == nullptr)
    return sendRemoval(context, request, admin::banPlayer, "banned");
  Outcome outcome;
  std::optional<Person> target = person(context, request, &outcome);
  if (!target) return outcome;
  return outcomeOf(context.moderation->ban(request.actor, *target, request.text, request.plain));
}

Outcome unban(ActContext& context, const ActRequest& request) {
  if (request.target.name.empty()) return Outcome::refused("a name is needed");
  Outcome outcome;
  outcome.count = context.moderation->unban(request.actor, request.target.name, request.text);
  return outcome;
}

Outcome banReason(ActContext& context, const ActRequest& request) {
  return outcomeOf(context.moderation->rewordBan(request.actor, request.ban, request.text));
}

Outcome banLength(ActContext& context, const ActRequest& request) {
  return outcomeOf(context.moderation->relengthBan(request.actor, request.ban, request.seconds));
}

Outcome note(ActContext& context, const ActRequest& request) {
  if (request.target.name.empty() || request.text.empty()) {
    return Outcome::refused("a name and a text are needed");
  }
  return outcomeOf(context.moderation->note(request.actor, request.target.name, request.text));
}

Outcome addAdmin(ActContext& context, const ActRequest& request) {
  Outcome outcome;
  const Player* player = onlineTarget(context.session.players(), request.target, &outcome.refusal);
  if (player == nullptr) return outcome;
  return outcomeOf(context.moderation->addAdmin(request.actor, *player, request.level));
}

Outcome removeAdmin(ActContext& context, const ActRequest& request) {
  if (request.target.name.empty()) return Outcome::refused("a name is needed");
  return outcomeOf(context.moderation->removeAdmin(request.actor, request.target.name));
}

}  // namespace gsadmin::acts
