#include "panel/web_actions.h"

#include <algorithm>

#include "base/durations.h"
#include "commands/commands.h"
#include "console/printable.h"
#include "context/session_context.h"
#include "moderation/moderation.h"
#include "panel/web_context.h"
#include "panel/web_json.h"

namespace gsadmin {
namespace {

using nlohmann::json;

constexpr size_t kMaxTextBytes = 1024;

constexpr char kCommand[] = "command";

// The act a kind names, reached from the panel; null for "command" too.
const Act* actOf(const std::string& kind) {
  const Act* act = findAct(kind);
  return act != nullptr && (act->doors & kPanelDoor) != 0 ? act : nullptr;
}

bool takes(const Act& act, Argument argument) {
  return std::find(act.arguments.begin(), act.arguments.end(), argument) != act.arguments.end();
}

// The string member `key` of `body`, or "" when absent; false when present
// but not a string of at most kMaxTextBytes.
bool textMember(const json& body, const char* key, std::string* value) {
  if (!body.contains(key)) return true;
  if (!body[key].is_string()) return false;
  *value = body[key].get<std::string>();
  // One line each: a newline would make a second console line.
  for (char c : *value) {
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t') return false;
  }
  return value->size() <= kMaxTextBytes;
}

std::optional<int64_t> durationOf(const json& value) {
  if (value.is_number_integer()) {
    int64_t seconds = value.get<int64_t>();
    if (seconds > 0 && seconds <= kMaxDurationSeconds) return seconds;
    return std::nullopt;
  }
  if (value.is_string()) return parseDuration(value.get<std::string>());
  return std::nullopt;
}

// Reads "player" into `action`; false, with *error, when it is there but
// no id.
bool readPlayer(const json& body, WebAction* action, std::string* error) {
  if (!body.contains("player")) return true;
  if (!body["player"].is_number_integer() || body["player"].get<int64_t>() < 0 ||
      body["player"].get<int64_t>() > 255) {
    *error = action->kind + " needs \"player\", a player's id";
    return false;
  }
  action->player = static_cast<uint8_t>(body["player"].get<int64_t>());
  return true;
}

// The positive integer member `key` of `body` into *number; false when it
// is absent or not one.
bool numberMember(const json& body, const char* key, int64_t* number) {
  const json* member = body.contains(key) ? &body[key] : nullptr;
  if (member == nullptr || !member->is_number_integer() || member->get<int64_t>() <= 0) {
    return false;
  }
  *number = member->get<int64_t>();
  return true;
}

// What the act needs beyond the texts: a player or a name, a duration.
bool readArguments(const json& body, const Act& act, WebAction* action, std::string* error) {
  if (onPlayer(act) && !action->player && action->name.empty()) {
    *error = action->kind + " needs \"player\", a player's id, or \"name\"";
    return false;
  }
  if (!onPlayer(act) && takes(act, Argument::kName) && action->name.empty()) {
    *error = action->kind + " needs \"name\"";
    return false;
  }
  if (takes(act, Argument::kBan)) {
    const json* ban = body.contains("ban") ? &body["ban"] : nullptr;
    if (ban == nullptr || !ban->is_number_integer() || ban->get<int64_t>() <= 0) {
      *error = action->kind + " needs \"ban\", a ban's number";
      return false;
    }
    action->ban = ban->get<int64_t>();
  }
  if (takes(act, Argument::kReport) && !numberMember(body, "report", &action->report)) {
    *error = action->kind + " needs \"report\", a report's number";
    return false;
  }
  if (takes(act, Argument::kAppeal) && !numberMember(body, "appeal", &action->appeal)) {
    *error = action->kind + " needs \"appeal\", an appeal's number";
    return false;
  }
  if (takes(act, Argument::kDuration)) {
    std::optional<int64_t> seconds =
        body.contains("duration") ? durationOf(body["duration"]) : std::nullopt;
    if (!seconds) {
      *error = action->kind + " needs \"duration\": seconds, or a text such as 30m or 1d";
      return false;
    }
    action->seconds = *seconds;
  }
  bool needsText = action->kind == "message" || action->kind == "chat" || action->kind == "note";
  if (needsText && action->text.empty()) {
    *error = action->kind + " needs a text";
    return false;
  }
  return true;
}

}  // namespace

std::optional<WebAction> parseWebAction(const json& body, std::string* error) {
  WebAction action;
  if (!body.is_object() || !body.contains("action") || !body["action"].is_string()) {
    *error = "an action needs \"action\"";
    return std::nullopt;
  }
  action.kind = body["action"].get<std::string>();
  const Act* act = actOf(action.kind);
  if (act == nullptr && action.kind != kCommand) {
    *error = "no action is named '" + printable(action.kind.substr(0, 64)) + "'";
    return std::nullopt;
  }
  std::string line;
  if (!textMember(body, "text", &action.text) || !textMember(body, "reason", &action.reason) ||
      !textMember(body, "name", &action.name) || !textMember(body, "line", &line)) {
    *error = "texts are single lines of at most 1024 bytes";
    return std::nullopt;
  }
  if (!readPlayer(body, &action, error)) return std::nullopt;
  if (act == nullptr) {
    action.text = line;
    if (action.text.empty()) *error = "command needs a text";
    return action.text.empty() ? std::nullopt : std::optional<WebAction>(action);
  }
  if (!readArguments(body, *act, &action, error)) return std::nullopt;
  return action;
}

std::string actionFingerprint(const WebAction& action) {
  // Texts hold no newline (parseWebAction), so the fields cannot run together.
  return action.kind + "\n" + (action.player ? std::to_string(*action.player) : "-") + "\n" +
         action.text + "\n" + action.reason + "\n" + std::to_string(action.seconds) + "\n" +
         action.name + "\n" + std::to_string(action.ban) + "\n" + std::to_string(action.report) +
         "\n" + std::to_string(action.appeal);
}

Actor panelActor(const WebLogin& login) {
  return Actor{Actor::Kind::kPanel, login.name,       login.level,
               std::nullopt,        login.tokenLabel, login.grants};
}

std::string carryOutWebAction(SessionContext& session, const WebLogin& login,
                              const WebAction& action, const TypedLineRunner& runTypedLine) {
  return carryOutWebAction(session, panelActor(login), action, runTypedLine);
}

std::string carryOutWebAction(SessionContext& session, const Actor& actor, const WebAction& action,
                              const TypedLineRunner& runTypedLine) {
  Commands& commands = session.commands();
  const Act* act = commands.find(action.kind, kPanelDoor);
  if (act == nullptr) {
    if (action.kind != kCommand) return "the moderation is off";
    // Any console line: the operator's rights.
    if (!mayCommand(actor)) return "your level may not command";
    session.console().line("* " + printable(actor.label()) + ": " + printable(action.text));
    if (Moderation* moderation = session.moderation()) {
      moderation->auditAct(actor, kCommand, "", action.text);
    }
    runTypedLine(action.text, actor);
    return "";
  }
  ActRequest request;
  request.actor = actor;
  request.target = Target{action.player, action.name};
  request.text = action.reason.empty() ? action.text : action.reason;
  request.seconds = action.seconds;
  request.ban = action.ban;
  request.report = action.report;
  request.appeal = action.appeal;
  Outcome outcome = commands.run(*act, kPanelDoor, request);
  if (outcome.done() && std::string_view(act->name) == "unban") {
    if (outcome.count == 0) return "no ban holds for " + action.name;
    // "done" alone would say the player may come back, which a ban of the
    // server's own, out of the client's reach, may still forbid.
    return kDoneNoteMark + std::string("lifted ") + std::to_string(outcome.count) +
           " of the client's ban(s) on " + printable(action.name) + "; if " +
           printable(action.name) +
           " was banned while on the server, the server's own ban remains: lift it on the server";
  }
  return outcome.refusal;
}

}  // namespace gsadmin
