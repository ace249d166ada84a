#include "panel/web_actions.h"

#include <array>

#include "base/durations.h"
#include "console/printable.h"
#include "context/admin_actions.h"
#include "context/session_context.h"
#include "moderation/moderation.h"
#include "panel/web_context.h"
#include "panel/web_json.h"

namespace gsadmin {
namespace {

using nlohmann::json;

constexpr size_t kMaxTextBytes = 1024;
constexpr int64_t kDaySeconds = 24 * 3600;

struct KindRow {
  const char* kind;
  bool needsPlayer;
};

constexpr std::array<KindRow, 9> kKinds = {{{"message", true},
                                            {"slap", true},
                                            {"warn", true},
                                            {"kick", true},
                                            {"tempban", true},
                                            {"ban", true},
                                            {"unban", false},
                                            {"chat", false},
                                            {"command", false}}};

const KindRow* kindNamed(const std::string& kind) {
  for (const KindRow& row : kKinds) {
    if (kind == row.kind) return &row;
  }
  return nullptr;
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

// The "* " line of an action the plain admin actions carry out silently.
void announce(SessionContext& session, const WebLogin& login, const std::string& what) {
  session.console().line("* " + login.name + " (panel): " + printable(what));
}

std::string onPlayer(SessionContext& session, const WebLogin& login, const WebAction& action,
                     const Player& player) {
  Moderation* moderation = session.moderation();
  Actor actor = panelActor(login);
  if (action.kind == "message") {
    admin::sendMessage(session, player.id, action.text);
    announce(session, login, "message " + player.name + ": " + action.text);
  } else if (action.kind == "slap") {
    // As for the moderation's actions: nobody acts on a higher admin.
    if (moderation != nullptr && moderation->levelOf(player) > login.level) return "you may not";
    admin::slapPlayer(session, player.id);
    announce(session, login, "slap " + player.name);
  } else if (moderation != nullptr) {
    if (action.kind == "warn") return moderation->warn(actor, player.id, action.reason);
    if (action.kind == "kick") return moderation->kick(actor, player.id, action.reason);
    if (action.kind == "ban") return moderation->ban(actor, player.id, action.reason);
    return moderation->tempban(actor, player.id, action.seconds, action.reason);
  } else if (action.kind == "kick" || action.kind == "ban") {
    std::string name = player.name;
    (action.kind == "kick" ? admin::kickPlayer : admin::banPlayer)(session, player.id);
    announce(session, login, action.kind + " " + name);
  } else {
    return "the moderation is off";
  }
  return "";
}

}  // namespace

std::optional<WebAction> parseWebAction(const json& body, std::string* error) {
  WebAction action;
  if (!body.is_object() || !body.contains("action") || !body["action"].is_string()) {
    *error = "an action needs \"action\"";
    return std::nullopt;
  }
  action.kind = body["action"].get<std::string>();
  const KindRow* row = kindNamed(action.kind);
  if (row == nullptr) {
    *error = "no action is named '" + printable(action.kind.substr(0, 64)) + "'";
    return std::nullopt;
  }
  if (row->needsPlayer) {
    if (!body.contains("player") || !body["player"].is_number_integer() ||
        body["player"].get<int64_t>() < 0 || body["player"].get<int64_t>() > 255) {
      *error = action.kind + " needs \"player\", a player's id";
      return std::nullopt;
    }
    action.player = static_cast<uint8_t>(body["player"].get<int64_t>());
  }
  std::string line;
  if (!textMember(body, "text", &action.text) || !textMember(body, "reason", &action.reason) ||
      !textMember(body, "name", &action.name) || !textMember(body, "line", &line)) {
    *error = "texts are single lines of at most 1024 bytes";
    return std::nullopt;
  }
  if (action.kind == "command") action.text = line;
  if (action.kind == "tempban") {
    std::optional<int64_t> seconds =
        body.contains("duration") ? durationOf(body["duration"]) : std::nullopt;
    if (!seconds) {
      *error = "tempban needs \"duration\": " + std::string("seconds, or a text such as 30m or 1d");
      return std::nullopt;
    }
    action.seconds = *seconds;
  }
  bool needsText = action.kind == "message" || action.kind == "chat" || action.kind == "command";
  if ((needsText && action.text.empty()) || (action.kind == "unban" && action.name.empty())) {
    *error = action.kind + (action.kind == "unban" ? " needs \"name\"" : " needs a text");
    return std::nullopt;
  }
  return action;
}

bool isServerCommand(std::string_view text) {
  size_t first = text.find_first_not_of(" \t");
  return first != std::string_view::npos && text[first] == '/';
}

int actionLevel(const WebAction& action) {
  // The server takes such a chat text as a command, with the client's rights.
  if (action.kind == "command" || (action.kind == "chat" && isServerCommand(action.text))) {
    return kOperatorLevel;
  }
  if (action.kind == "ban" || action.kind == "unban") return kAdminLevel;
  if (action.kind == "tempban" && action.seconds > kDaySeconds) return kAdminLevel;
  return kModeratorLevel;
}

std::string actionFingerprint(const WebAction& action) {
  // Texts hold no newline (parseWebAction), so the fields cannot run together.
  return action.kind + "\n" + (action.player ? std::to_string(*action.player) : "-") + "\n" +
         action.text + "\n" + action.reason + "\n" + std::to_string(action.seconds) + "\n" +
         action.name;
}

Actor panelActor(const WebLogin& login) {
  return Actor{Actor::Kind::kPanel, login.name, login.level, std::nullopt};
}

std::string carryOutWebAction(SessionContext& session, const WebLogin& login,
                              const WebAction& action, const TypedLineRunner& runTypedLine) {
  if (login.level < actionLevel(action)) {
    if (action.kind == "chat") {
      return "your level may not command: a chat text starting with / is a server command";
    }
    return "your level may not " + action.kind;
  }
  if (action.player) {
    const Player* player = session.players().find(*action.player);
    if (player == nullptr) return "no player has the id " + std::to_string(*action.player);
    return onPlayer(session, login, action, *player);
  }
  Moderation* moderation = session.moderation();
  if (action.kind == "unban") {
    if (moderation == nullptr) return "the moderation is off";
    if (moderation->unban(panelActor(login), action.name) == 0)
      return "no ban holds for " + action.name;
    return "";
  }
  announce(session, login, (action.kind == "chat" ? "chat: " : "") + action.text);
  if (moderation != nullptr) {
    moderation->sanctions().audit(panelActor(login).label(), action.kind, "", action.text,
                                  moderation->now());
  }
  if (action.kind == "chat") {
    admin::sendChat(session, action.text);
  } else {
    runTypedLine(action.text, panelActor(login));
  }
  return "";
}

}  // namespace gsadmin
