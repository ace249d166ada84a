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

// One action a panel account asks for (POST /api/actions): an act of the
// table reached from the panel (commands/act.h), or "command", a console
// line.
struct WebAction {
  std::string kind;               // the act's name, or "command"
  std::optional<uint8_t> player;  // the player's id
  std::string text;               // message, chat, note: the text; command: the line
  std::string reason;             // warn, kick, tempban, ban
  int64_t seconds = 0;            // tempban
  std::string name;               // the player's name, or the name acted on
  int64_t ban = 0;                // ban reason, ban length: the ban's number
  int64_t report = 0;             // report claim, report close: the report's number
  int64_t appeal = 0;             // appeal accept, appeal reject: the appeal's number
};

// The action a JSON body asks for: {"action": KIND, "player": ID, "name":
// NAME, "reason": TEXT, "duration": "1d" or seconds, "text": TEXT, "line":
// TEXT, "ban": a ban's number, "report": a report's number, "appeal": an appeal's number}. An act
// on a player takes its id, its name or both (then the act is refused when the id has passed to
// another player); one on a name takes the name. Nothing, with the reason in *error, when it is
// malformed.
std::optional<WebAction> parseWebAction(const nlohmann::json& body, std::string* error);

// The same text for two requests of the same action, and only then.
std::string actionFingerprint(const WebAction& action);

// The actor a panel account acts as: its name and level.
Actor panelActor(const WebLogin& login);

// Marks a result that is done with a note to say (unban: what it could
// not lift); a refusal never starts with it, as texts are printable.
inline constexpr char kDoneNoteMark = '\x01';

// Carries out `action` for `login` on the loop: the act of the table, as
// the account. A console line (any level but the operator's is refused)
// goes to `runTypedLine` with the account's actor, so that the acts in it
// are the account's. Empty when done, or kDoneNoteMark and a note;
// otherwise the reason it was refused, having done nothing.
std::string carryOutWebAction(SessionContext& session, const WebLogin& login,
                              const WebAction& action, const TypedLineRunner& runTypedLine);
// The same as `actor`: an account of another server's panel (fleet_desk.h).
std::string carryOutWebAction(SessionContext& session, const Actor& actor, const WebAction& action,
                              const TypedLineRunner& runTypedLine);

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_WEB_ACTIONS_H_
