#ifndef GSADMIN_COMMANDS_ACT_H_
#define GSADMIN_COMMANDS_ACT_H_

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
class SessionContext;

// The person an act is aimed at: the id and the name it was chosen by.
// An act checks it again when it runs, so that an id that has passed to
// another player since is refused rather than acted on.
struct Target {
  // The player's id on the server when chosen; none for a name alone.
  std::optional<uint8_t> id;
  // The name the target was chosen by; empty with an id alone, which acts
  // on whoever holds the id (the script API, tools that send an id).
  std::string name;
};

// What an act needs, filled by the door that asks for it.
struct ActRequest {
  Actor actor;
  Target target;        // PLAYER or NAME
  std::string text;     // REASON, TEXT
  int64_t seconds = 0;  // DURATION
  int level = 0;        // LEVEL
  size_t count = 0;     // N; 0 for the act's own default
  int64_t ban = 0;      // BAN: a ban's number; 0 for none
  int64_t report = 0;   // REPORT: a report's number; 0 for none
  int64_t appeal = 0;   // APPEAL: an appeal's number; 0 for none
  // As the script API's plain functions act: the datagram alone, without a
  // message to the player or a console line (still recorded and audited).
  bool plain = false;
};

// What became of an act: done (no refusal), with the lines a read shows.
struct Outcome {
  std::string refusal;             // one line without "* "; empty when done
  std::vector<std::string> lines;  // a read's answer, each without "* "
  size_t count = 0;                // unban: the bans lifted
  bool done() const { return refusal.empty(); }
  static Outcome refused(std::string why) { return Outcome{std::move(why), {}, 0}; }
};

// The doors an act can be reached from, as bits.
enum Door : unsigned {
  kConsoleDoor = 1,  // ".word" at the console (and the panel's command line)
  kGameDoor = 2,     // "!word" said in game by an admin
  kPanelDoor = 4,    // POST /api/actions
  kScriptDoor = 8,   // a script API function
};

// The door's name, as the metrics label acts by door: "console", "game",
// "panel", "script".
const char* doorName(unsigned door);
inline constexpr unsigned kDoors[] = {kConsoleDoor, kGameDoor, kPanelDoor, kScriptDoor};

// What a typed argument takes, in the order the act's usage shows them.
enum class Argument {
  kPlayer,     // PLAYER: an id or the whole name of a player on the server
  kRecipient,  // PLAYER, the first word: also the start of only one name
  kPerson,     // PLAYER or NAME: on the server, or any name (seen or not)
  kName,       // NAME: a name, on the server or not
  kDuration,   // DURATION: 30m, 2h, 7d, 1d12h
  kLevel,      // LEVEL: 1, 2 or 3
  kCount,      // [N]: an optional count
  kText,       // TEXT: the rest of the line, needed
  kReason,     // [REASON]: the rest of the line, optional
  kBan,        // BAN: a ban's number (its id in the panel), #12 or 12
  kReport,     // REPORT: a report's number, #12 or 12
  kAppeal,     // APPEAL: an appeal's number, #3 or 3
};

// What an act's run reaches: the session, and the moderation when it is on.
struct ActContext {
  SessionContext& session;
  Moderation* moderation;  // null with --no-moderation
};

// One admin act: the one home of its name, its level, its arguments, its
// help and what it does, for every door.
struct Act {
  const char* name;  // "warn", "admin add": in the API, the audit and the panel
  const char* word;  // as typed after '.' or '!' ("msg"); empty when not typed
  int level;         // the level an actor needs (kOperatorLevel: the console's)
  unsigned doors;    // Door bits
  bool moderation;   // true: there only when the moderation is on
  // A read: below its level in game, the word is left to the scripts
  // that answer it for players (!seen, !admins).
  bool read;
  std::span<const Argument> arguments;
  const char* usage;  // the arguments as typed: "PLAYER REASON"
  const char* help;   // one line: what it does
  // Checks, acts, records, audits and fires the events; `request` has
  // been checked against the act's level and door.
  Outcome (*run)(ActContext& context, const ActRequest& request);
};

// Whether `argument` names a player: one on the server, or (kPerson) a
// name that may be off it.
bool namesPlayer(Argument argument);
// Whether `act` is aimed at a player: its first argument names one.
bool onPlayer(const Act& act);

// Every act, in the order the help lists them.
std::span<const Act> allActs();
// The act named `name` ("warn", "admin add"), or null.
const Act* findAct(std::string_view name);

// Why `actor` may not do `act`, or empty when it may: a role decides by its
// acts, reads among them ("read:audit"), a level by the act's level.
std::string permissionRefusal(const Act& act, const Actor& actor);
// Whether `actor` may command: type a console line or say a server command.
bool mayCommand(const Actor& actor);

// Whether the server takes a chat text as a command: its first character
// other than a space or a tab is '/'.
bool isServerCommand(std::string_view text);

// The longest tempban a moderator may give; a longer one needs an admin.
inline constexpr int64_t kModeratorBanSeconds = 24 * 3600;

}  // namespace gsadmin

#endif  // GSADMIN_COMMANDS_ACT_H_
