// Chat, private messages and slaps: sent as they are, with a "* " line
// where the door is not a script's, and slaps audited.

#include "commands/acts.h"
#include "commands/target.h"
#include "console/printable.h"
#include "context/admin_actions.h"
#include "context/session_context.h"
#include "moderation/moderation.h"

namespace gsadmin {

bool isServerCommand(std::string_view text) {
  size_t first = text.find_first_not_of(" \t");
  return first != std::string_view::npos && text[first] == '/';
}

namespace acts {
namespace {

// The panel's, the rules' and the schedules' chat and messages leave a line
// at the console, which their operator reads; scripts print their own.
bool shown(const Actor& actor) {
  return actor.kind == Actor::Kind::kPanel || actor.kind == Actor::Kind::kRule ||
         actor.kind == Actor::Kind::kSchedule;
}

void announce(ActContext& context, const Actor& actor, const std::string& what) {
  context.session.console().line("* " + printable(actor.label()) + " " + printable(what));
}

}  // namespace

Outcome chat(ActContext& context, const ActRequest& request) {
  // The server takes such a text as a command, with the client's rights.
  if (isServerCommand(request.text) && !mayCommand(request.actor)) {
    return Outcome::refused(
        "your level may not command: a chat text starting with / is a server command");
  }
  if (shown(request.actor)) {
    announce(context, request.actor, "chat: " + request.text);
    if (context.moderation != nullptr) {
      context.moderation->auditAct(request.actor, "chat", "", request.text);
    }
  }
  admin::sendChat(context.session, request.text);
  return {};
}

Outcome message(ActContext& context, const ActRequest& request) {
  Outcome outcome;
  const Player* player = onlineTarget(context.session.players(), request.target, &outcome.refusal);
  if (player == nullptr) return outcome;
  if (shown(request.actor)) {
    announce(context, request.actor, "message " + player->name + ": " + request.text);
  }
  // What a rule or an entry says in a player's name is audited as its acts are.
  bool unattended =
      request.actor.kind == Actor::Kind::kRule || request.actor.kind == Actor::Kind::kSchedule;
  if (unattended && context.moderation != nullptr) {
    context.moderation->auditAct(request.actor, "message", player->name, request.text);
  }
  admin::sendMessage(context.session, player->id, request.text);
  return outcome;
}

Outcome slap(ActContext& context, const ActRequest& request) {
  Outcome outcome;
  const Player* player = onlineTarget(context.session.players(), request.target, &outcome.refusal);
  if (player == nullptr) return outcome;
  Moderation* moderation = context.moderation;
  // As for the sanctions: nobody acts on a higher admin.
  if (moderation != nullptr && moderation->levelOf(*player) > request.actor.level) {
    return Outcome::refused("you may not");
  }
  std::string name = player->name;
  admin::slapPlayer(context.session, player->id);
  if (moderation != nullptr) moderation->auditAct(request.actor, "slap", name, "");
  if (!request.plain) announce(context, request.actor, "slapped " + name);
  return outcome;
}

}  // namespace acts
}  // namespace gsadmin
