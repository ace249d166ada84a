#ifndef GSADMIN_PANEL_WEB_ACTIONS_H_
#define GSADMIN_PANEL_WEB_ACTIONS_H_

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "moderation/actor.h"
#include "panel/typed_line.h"
#include "panel/web_sessions.h"

namespace gsadmin {

class SessionContext;

// One action a panel account asks for (POST /api/actions).
struct WebAction {
  std::string kind;               // see actionLevel()
  std::optional<uint8_t> player;  // the player's id, for the actions on one
  std::string text;               // message, chat: the text; command: the line
  std::string reason;             // warn, kick, tempban, ban
  int64_t seconds = 0;            // tempban
  std::string name;               // unban: the banned name
};

// The action a JSON body asks for: {"action": KIND, "player": ID, "reason":
// TEXT, "duration": "1d" or seconds, "text": TEXT, "line": TEXT, "name":
// NAME}. Nothing, with the reason in *error, when it is malformed.
std::optional<WebAction> parseWebAction(const nlohmann::json& body, std::string* error);

// Whether the server takes a chat text as a command: its first character
// other than a space or a tab is '/'.
bool isServerCommand(std::string_view text);

// The level an account needs for `action`, as for the admins in game:
// message, slap, chat, warn, kick and a tempban of up to a day need 1; ban,
// unban and longer tempbans 2; command (any console line) 4, as does a chat
// text that is a server command.
int actionLevel(const WebAction& action);

// The same text for two requests of the same action, and only then.
std::string actionFingerprint(const WebAction& action);

// The actor a panel account acts as: its name and level.
Actor panelActor(const WebLogin& login);

// Carries out `action` for `login` on the loop: the moderation's action
// when the moderation is on, else the plain admin action with a "* " line
// naming the account. A console line goes to `runTypedLine` with the
// account's actor, so that the moderation's commands in it are the
// account's. Empty when done; otherwise the reason it was refused, having
// done nothing.
std::string carryOutWebAction(SessionContext& session, const WebLogin& login,
                              const WebAction& action, const TypedLineRunner& runTypedLine);

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_WEB_ACTIONS_H_
