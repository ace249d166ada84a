#ifndef GSADMIN_MODERATION_MODERATION_COMMANDS_H_
#define GSADMIN_MODERATION_MODERATION_COMMANDS_H_

#include <span>
#include <string>
#include <string_view>

namespace gsadmin {

class Moderation;
struct Player;

// One row of a command list: how it is typed and what it does.
struct CommandHelp {
  const char* usage;
  const char* what;
};

// The moderation commands, typed at the console (".warn Bob spam") or said
// in game by an admin ("!warn Bob spam", in public chat or a private
// message). Both take the same arguments and carry out the same actions of
// Moderation; they differ in who acts and where the answers go: "* " lines
// on the console, private messages to the admin in game. PLAYER is an id or
// a whole name (any case) of a player on the server, so that a slip never
// hits another player. The moderation must outlive this object.
class ModerationCommands {
 public:
  explicit ModerationCommands(Moderation& moderation) : moderation_(moderation) {}

  // The console's rows, in the order ".help" lists them; each usage starts
  // with ".word".
  static std::span<const CommandHelp> consoleHelp();
  // True when ".word" (`word` without the dot) is one of consoleHelp().
  static bool isConsoleWord(std::string_view word);

  // ".word rest" from the operator, whose actor name is the admin name.
  void runTyped(const std::string& word, const std::string& rest);
  // A chat line of `sender` that starts with '!'. A word that is no
  // in-game command is left alone (a script may answer it); a known one
  // from a player without its level gets the one private message
  // "!word: you may not" and nothing else happens.
  void runInGame(const Player& sender, std::string_view text);

 private:
  Moderation& moderation_;
};

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_MODERATION_COMMANDS_H_
