#ifndef GSADMIN_COMMANDS_TARGET_H_
#define GSADMIN_COMMANDS_TARGET_H_

#include <optional>
#include <string>

#include "commands/act.h"
#include "moderation/moderation.h"

namespace gsadmin {

class PlayerManager;
struct Player;

// The player `target` means now, when it is on the server: by id (whose
// holder must still bear the name it was chosen by, when one was given) or
// by its whole name (any case). Null with the refusal in *refusal when it
// names another player now, or names nobody on the server.
//   "#1 is now Eve, not Bob: nothing done"
const Player* onlineTarget(const PlayerManager& players, const Target& target,
                           std::string* refusal);

// The person `target` means: the player on the server, or, when it is
// not on the server, its name alone (an id chosen with a name whose
// player has left stands for that name). None, with the refusal, when the
// id names another player now or an id alone names nobody.
std::optional<Person> personTarget(const PlayerManager& players, const Target& target,
                                   std::string* refusal);

}  // namespace gsadmin

#endif  // GSADMIN_COMMANDS_TARGET_H_
