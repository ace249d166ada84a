#ifndef GSADMIN_COMMANDS_TYPED_REQUEST_H_
#define GSADMIN_COMMANDS_TYPED_REQUEST_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "commands/act.h"

namespace gsadmin {

// Why a typed line was not read: the text, and how the console shows it.
struct TypedRefusal {
  std::string text;
  // The console shows the text as it is rather than after ".word: " (the
  // diagnostics of naming a player), ...
  bool bare = false;
  // ... followed by "; .help lists the commands".
  bool hint = false;
  // What the console shows instead, when it says it otherwise.
  std::string consoleText;
};

// `rest`, typed after an act's word, read as the act's arguments (see
// Argument): PLAYER is an id or a whole name of a player on the server (the
// longest start of the line that is one), NAME the longest start that is a
// recorded name, else the first word, or the whole rest when it is last.
// An id typed means the player who held it at `mark` (see
// PlayerManager::mark), or now without one. None, with *refusal, when an
// argument is missing or malformed.
// `command` is the act as typed (".kick", "!kick"), for the refusals.
std::optional<ActRequest> readTypedRequest(ActContext& context, const Act& act,
                                           std::string_view command, const Actor& actor,
                                           std::string_view rest, std::optional<uint64_t> mark,
                                           TypedRefusal* refusal);

}  // namespace gsadmin

#endif  // GSADMIN_COMMANDS_TYPED_REQUEST_H_
