#ifndef GSADMIN_MODERATION_MODERATION_COMMANDS_H_
#define GSADMIN_MODERATION_MODERATION_COMMANDS_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "moderation/actor.h"

namespace gsadmin {

class Moderation;
struct Player;

// One row of a command list: how it is typed and what it does.
struct CommandHelp {
  const char* usage;
  const char* what;
};

// One in-game word: the level an admin needs for it, whether a player
// below that level is told "!word: you may not" (else the word is left to
// the scripts), and how it is typed.
struct GameWordRow {
  const char* word;
  int level;
  bool refusesBelowLevel;
  const char* usage;
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
  // The longest private message sent to an admin in game: a chat frame's
  // text (511 bytes) less "/msg #255 ". Longer answers are cut.
  static constexpr size_t kMaxAnswer = 501;
  // What a player's history lists, wherever it is shown: at most
  // kMaxListed sanctions and notes, and the last kHistoryChatLines chat
  // lines unless more are asked, at most kMaxHistoryChatLines.
  static constexpr size_t kMaxListed = 100;
  static constexpr size_t kHistoryChatLines = 10;
  static constexpr size_t kMaxHistoryChatLines = 100;

  explicit ModerationCommands(Moderation& moderation) : moderation_(moderation) {}

  // The console's rows, in the order ".help" lists them; each usage starts
  // with ".word". ".kick" and ".ban" are the console's own rows.
  static std::span<const CommandHelp> consoleHelp();
  // True when ".word" (`word` without the dot) is one of consoleHelp().
  static bool isConsoleWord(std::string_view word);

  // ".word rest" typed by `actor` (the operator at the console, named by
  // the admin name, or a panel account): one of consoleHelp(), "kick" or
  // "ban". Answers are "* " lines on the console.
  void runTyped(const Actor& actor, const std::string& word, const std::string& rest);
  // The in-game words ("!warn ..."), in the order "!help" lists them.
  // The registry of in-game words checks the levels and answers "!help".
  static std::span<const GameWordRow> gameWords();
  // "!word rest" said by `sender`, whose level allows the word, one of
  // gameWords() other than "help". Answers are private messages.
  void runInGame(const Player& sender, std::string_view word, std::string_view rest);

 private:
  // One command being carried out: who acts and how the command was typed.
  struct Request {
    Actor actor;
    std::string command;  // ".warn" or "!warn"
  };
  // "PLAYER REST" or "NAME REST" split in two, both without surrounding blanks.
  struct Split {
    std::string name;
    std::string rest;
  };

  // Answers: a "* " line on the console, a private message in game (cut to
  // kMaxAnswer); passed through printable() first.
  void answer(const Request& request, std::string_view line);
  void answer(const Request& request, const std::vector<std::string>& lines);
  // "* .word: REASON" or "!word: REASON".
  void refuse(const Request& request, std::string_view reason);
  // Every word of either place: the in-game words only once their level
  // was checked.
  void runWord(const Request& request, std::string_view word, std::string_view rest);
  static std::string_view trimmed(std::string_view text);
  // `text` cut after its first `size` bytes (all of it when more), both
  // parts trimmed.
  static Split splitAt(std::string_view text, size_t size);

  // moderation_command_args.cc: the arguments.
  // The id `typed` names (a player's id or whole name, or digits the
  // action refuses when no player has that id), or none after the refusal
  // was answered: at the console the lines of its other punishing
  // commands, in game "!word: REASON".
  std::optional<uint8_t> targetOnline(const Request& request, std::string_view typed);
  // PLAYER first: the longest start ending at a blank that names a player
  // on the server exactly, else the first word.
  Split splitPlayer(std::string_view text) const;
  // NAME first: the longest start ending at a blank that names a recorded
  // player, else the first word.
  Split splitRecordedName(std::string_view text);
  // A count argument: `fallback` when empty, else a number from 1 to
  // `most`; none after answering why not.
  std::optional<size_t> count(const Request& request, std::string_view text, size_t fallback,
                              size_t most);

  // moderation_command_actions.cc: the actions, each answering its
  // refusal, or in game "done" (the console has the action's own line).
  // An action on PLAYER that takes the rest of the line as its reason.
  using ReasonAction = std::string (Moderation::*)(const Actor& actor, uint8_t playerId,
                                                   std::string_view reason);
  void actWithReason(const Request& request, std::string_view rest, ReasonAction action);
  void warn(const Request& request, std::string_view rest);
  void kick(const Request& request, std::string_view rest);
  void tempban(const Request& request, std::string_view rest);
  void ban(const Request& request, std::string_view rest);
  void unban(const Request& request, std::string_view rest);
  void note(const Request& request, std::string_view rest);
  void admin(const Request& request, std::string_view rest);
  void addAdmin(const Request& request, std::string_view rest);
  void report(const Request& request, const std::string& refusal);

  // moderation_command_lists.cc: the listings, as lines without "* ".
  std::vector<std::string> bans();
  void showSeen(const Request& request, std::string_view rest);
  std::vector<std::string> seen(std::string_view name);
  void showHistory(const Request& request, std::string_view rest);
  std::vector<std::string> history(std::string_view name, size_t chatLines);
  void showAudit(const Request& request, std::string_view rest);
  std::vector<std::string> audit(size_t count);
  // True after refusing the listing a query of which failed: the readers
  // find nothing then, which must not read as "nothing is known".
  bool refusedUnread(const Request& request);
  // `withDetails` at the console only: in game they stay unsaid.
  std::vector<std::string> admins(bool withDetails);

  Moderation& moderation_;
};

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_MODERATION_COMMANDS_H_
