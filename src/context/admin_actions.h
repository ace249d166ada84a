#ifndef GSADMIN_CONTEXT_ADMIN_ACTIONS_H_
#define GSADMIN_CONTEXT_ADMIN_ACTIONS_H_

#include <cstdint>
#include <optional>
#include <string_view>

namespace gsadmin {

class SessionContext;

// The admin commands, as plain actions on a session: the script API's
// functions of the same names call them once they have read their
// arguments, and the operator's console calls them directly. Each sends its
// one datagram through the session at once, logged in or not, and prints
// nothing when it does. A refusal is one console line "<name>: <reason>"
// and sends nothing. Texts are sent up to their first NUL byte (a chat
// frame carries a NUL-terminated text) and are never used as a format.
namespace admin {

// The names the actions' lines start with; the script API publishes each
// action's function under the same name.
inline constexpr char kSendChat[] = "sendChat";
inline constexpr char kSendMessage[] = "sendMessage";
inline constexpr char kSlapPlayer[] = "slapPlayer";
inline constexpr char kKickPlayer[] = "kickPlayer";
inline constexpr char kBanPlayer[] = "banPlayer";

// The player a command names: an id of the wire, or none for a value that
// names no player at all (NaN, out of range), refused as an unknown id is.
using PlayerId = std::optional<uint8_t>;

// An action on one player. Prints "<name>: No such player." when the
// session holds no player with the id.
using PlayerAction = void (*)(SessionContext& session, PlayerId playerId);

// Sends `text` as a chat frame. Never refuses.
void sendChat(SessionContext& session, std::string_view text);

// Sends the chat frame "/msg #<id> <text>" for the player with `playerId`:
// a private message, addressed by id.
void sendMessage(SessionContext& session, PlayerId playerId, std::string_view text);

// Sends the chat frame "/slap <name>" with the player's name.
void slapPlayer(SessionContext& session, PlayerId playerId);

// Sends a kick request, or a ban request, for the player. The player stays
// in the model until the server says it left.
void kickPlayer(SessionContext& session, PlayerId playerId);
void banPlayer(SessionContext& session, PlayerId playerId);

}  // namespace admin
}  // namespace gsadmin

#endif  // GSADMIN_CONTEXT_ADMIN_ACTIONS_H_
