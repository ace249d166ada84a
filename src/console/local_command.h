#ifndef GSADMIN_CONSOLE_LOCAL_COMMAND_H_
#define GSADMIN_CONSOLE_LOCAL_COMMAND_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gsadmin {

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
  enum class Kind { kNone, kOne, kAmbiguous };
  Kind kind = Kind::kNone;
  // kOne: the player; kAmbiguous: every candidate, by id; kNone: empty.
  std::vector<PlayerEntry> players;
};

// The player `typed` names among `players`: first a player whose decimal id
// it is, then one whose whole name it is, then the only one whose name
// starts with it; names compare ignoring ASCII case. Surrounding spaces are
// ignored; an empty argument names nobody.
PlayerMatch matchPlayer(std::string_view typed, const std::vector<PlayerEntry>& players);

}  // namespace gsadmin

#endif  // GSADMIN_CONSOLE_LOCAL_COMMAND_H_
