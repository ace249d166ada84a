#ifndef GSADMIN_CONTEXT_PLAYER_TARGET_H_
#define GSADMIN_CONTEXT_PLAYER_TARGET_H_

#include <optional>
#include <string>
#include <string_view>

namespace gsadmin {

class PlayerManager;

// The player a command's argument names, as the operator's console and the
// admins in game decide it alike.
struct PlayerTarget {
  // The id of the player named; or, typed as digits, an id of the wire (0
  // to 255) no player holds, which the action refuses in its own words.
  std::optional<int> id;
  // Without an id: why not, one line without the "* " ("'bo' matches 2
  // players: 3 Bob, 5 Bobby"); empty when nothing was typed.
  std::string refusal;
  // Without an id: the text named nobody at all (nothing typed, or no name
  // matches), as opposed to naming too little or too many.
  bool namedNobody = false;
};

// The player `typed` names among those on the server, for the command
// `command` as typed (".kick", "!warn"). With `wholeName`, as every
// punishing command needs, only an id or a whole name (any case) names a
// player; otherwise a start of only one name will also do. A text that is
// one player's id and another's name names neither.
PlayerTarget targetPlayer(const PlayerManager& players, std::string_view typed,
                          std::string_view command, bool wholeName);

// The id of the one player `typed` names exactly: whose id or whole name
// (any case) it is. None for anything less or more.
std::optional<int> exactPlayer(const PlayerManager& players, std::string_view typed);

}  // namespace gsadmin

#endif  // GSADMIN_CONTEXT_PLAYER_TARGET_H_
