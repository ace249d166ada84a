#ifndef GSADMIN_CONSOLE_LOCAL_COMMAND_H_
#define GSADMIN_CONSOLE_LOCAL_COMMAND_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gsadmin {

// What a refusal of a typed command ends with, pointing at the list.
inline constexpr char kHelpHint[] = "; .help lists the commands";

// A typed line that starts with '.': ".word rest".
struct LocalCommand {
  std::string word;  // between the dot and the first space; may be empty
  std::string rest;  // everything after that one space, as typed
};

// The command in `line`, or none when the line does not start with '.' (it
// is then chat for the server).
std::optional<LocalCommand> splitLocalCommand(std::string_view line);

struct PlayerEntry {
  int id;
  std::string name;
};

struct PlayerMatch {
  enum class Kind {
    kNone,
    kOne,
    kAmbiguous,  // several names equal it, or none does and several start with it
    kIdAndName,  // the id of one player and the whole name of another
  };
  Kind kind = Kind::kNone;
  // kOne: only the start of the player's name was typed.
  bool startOfName = false;
  // kOne: the player; kAmbiguous: every candidate, by id; kIdAndName: the
  // player of the id, then those of the name; kNone: empty.
  std::vector<PlayerEntry> players;
};

// The player `typed` names among `players`: the player whose decimal id it
// is or whose whole name it is, else the only one whose name starts with it
// (startOfName set); names compare ignoring ASCII case. A text that is one
// player's id and another's name names neither. Surrounding spaces are
// ignored; an empty argument names nobody.
PlayerMatch matchPlayer(std::string_view typed, const std::vector<PlayerEntry>& players);

}  // namespace gsadmin

#endif  // GSADMIN_CONSOLE_LOCAL_COMMAND_H_
