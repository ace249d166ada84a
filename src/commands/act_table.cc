// The table of every admin act: the one place that names each act, the
// level it needs, the doors it is reached from, its arguments and its help.

#include <algorithm>

#include "commands/act.h"
#include "commands/acts.h"

namespace gsadmin {
namespace {

using A = Argument;

constexpr A kText[] = {A::kText};
constexpr A kRecipientText[] = {A::kRecipient, A::kText};
constexpr A kPlayer[] = {A::kPlayer};
constexpr A kPersonText[] = {A::kPerson, A::kText};
constexpr A kPlayerReason[] = {A::kPlayer, A::kReason};
constexpr A kPersonDurationReason[] = {A::kPerson, A::kDuration, A::kReason};
constexpr A kPersonReason[] = {A::kPerson, A::kReason};
constexpr A kName[] = {A::kName};
constexpr A kNameText[] = {A::kName, A::kText};
constexpr A kNameCount[] = {A::kName, A::kCount};
constexpr A kCount[] = {A::kCount};
constexpr A kPlayerLevel[] = {A::kPlayer, A::kLevel};
constexpr A kBanText[] = {A::kBan, A::kText};
constexpr A kBanDuration[] = {A::kBan, A::kDuration};
constexpr A kReportNumber[] = {A::kReport};
constexpr A kReportReason[] = {A::kReport, A::kReason};
constexpr A kAppealReason[] = {A::kAppeal, A::kReason};
constexpr A kAppealText[] = {A::kAppeal, A::kText};

constexpr unsigned kEveryDoor = kConsoleDoor | kGameDoor | kPanelDoor | kScriptDoor;
constexpr unsigned kTyped = kConsoleDoor | kGameDoor;

const Act kActs[] = {
    {"chat", "", kModeratorLevel, kConsoleDoor | kPanelDoor | kScriptDoor, false, false, kText,
     "TEXT", "sends TEXT to the server as chat", acts::chat},
    {"players",
     "players",
     kModeratorLevel,
     kConsoleDoor,
     false,
     true,
     {},
     "",
     "the players: id, name, kills, deaths, health, status, vehicle",
     acts::players},
    {"vehicles",
     "vehicles",
     kModeratorLevel,
     kConsoleDoor,
     false,
     true,
     {},
     "",
     "the vehicles someone is in now: id, name, health, driver, passengers",
     acts::vehicles},
    {"message", "msg", kModeratorLevel, kConsoleDoor | kPanelDoor | kScriptDoor, false, false,
     kRecipientText, "PLAYER TEXT", "a private message to the player", acts::message},
    {"slap", "slap", kModeratorLevel, kConsoleDoor | kPanelDoor | kScriptDoor, false, false,
     kPlayer, "PLAYER", "slaps the player", acts::slap},
    {"warn", "warn", kModeratorLevel, kEveryDoor, true, false, kPersonText, "PLAYER REASON",
     "warns the player; enough warnings kick or ban", acts::warn},
    {"kick", "kick", kModeratorLevel, kEveryDoor, false, false, kPlayerReason, "PLAYER [REASON]",
     "kicks the player", acts::kick},
    {"tempban", "tempban", kModeratorLevel, kEveryDoor, true, false, kPersonDurationReason,
     "PLAYER DURATION [REASON]", "bans the player for DURATION, kicked at every join",
     acts::tempban},
    {"ban", "ban", kAdminLevel, kEveryDoor, false, false, kPersonReason, "PLAYER [REASON]",
     "bans the player: the server's own ban when on the server, else the client's", acts::ban},
    {"unban", "unban", kAdminLevel, kEveryDoor, true, false, kName, "NAME",
     "lifts the client's bans on NAME and its aliases", acts::unban},
    {"ban reason", "banreason", kAdminLevel, kConsoleDoor | kPanelDoor, true, false, kBanText,
     "BAN REASON", "gives the ban numbered BAN (its id in the panel) a new reason",
     acts::banReason},
    {"ban length", "banlength", kAdminLevel, kConsoleDoor | kPanelDoor, true, false, kBanDuration,
     "BAN DURATION",
     "makes the ban numbered BAN last DURATION from when it was made, longer or shorter",
     acts::banLength},
    {"note", "note", kModeratorLevel, kConsoleDoor | kPanelDoor, true, false, kNameText,
     "NAME TEXT", "a note on the player for the other admins", acts::note},
    {"bans",
     "bans",
     kModeratorLevel,
     kConsoleDoor,
     true,
     true,
     {},
     "",
     "the active bans: name, until, actor, reason",
     acts::bans},
    {"seen", "seen", kModeratorLevel, kTyped, true, true, kName, "NAME",
     "last seen, visits, time played, kills, deaths, aliases", acts::seen},
    {"history", "history", kModeratorLevel, kConsoleDoor, true, true, kNameCount, "NAME [N]",
     "the player's sanctions, notes and last N chat lines (10)", acts::history},
    {"audit", "audit", kAdminLevel, kConsoleDoor, true, true, kCount, "[N]",
     "the last N actions of anyone (20)", acts::audit},
    {"admin add", "admin add", kSeniorLevel, kTyped, true, false, kPlayerLevel, "PLAYER LEVEL",
     "an admin in game: 1 moderator, 2 admin, 3 senior", acts::addAdmin},
    {"admin remove", "admin remove", kSeniorLevel, kTyped, true, false, kName, "NAME",
     "removes the admin in game NAME", acts::removeAdmin},
    {"admins",
     "admins",
     kModeratorLevel,
     kTyped,
     true,
     true,
     {},
     "",
     "the admins in game",
     acts::admins},
    // Before "report", which would take the word first.
    {"report show", "report show", kModeratorLevel, kConsoleDoor, true, true, kReportNumber,
     "REPORT", "the report numbered REPORT with its evidence: chat and kills", acts::showReport},
    {"report claim", "report claim", kModeratorLevel, kConsoleDoor | kPanelDoor, true, false,
     kReportNumber, "REPORT", "takes the report numbered REPORT on", acts::claimReport},
    {"report close", "report close", kModeratorLevel, kConsoleDoor | kPanelDoor, true, false,
     kReportReason, "REPORT [#SANCTION] [NOTE]",
     "closes the report: with the sanction numbered SANCTION, or none", acts::closeReport},
    // Any player may report; the cooldown (--report-cooldown) bounds it.
    {"report", "report", 0, kTyped, true, false, kPersonText, "PLAYER REASON",
     "reports the player to the admins, with the chat and kills around it", acts::report},
    {"reports",
     "reports",
     kModeratorLevel,
     kConsoleDoor,
     true,
     true,
     {},
     "",
     "the open and claimed reports",
     acts::reports},
    // Before "appeals", which would take the word first.
    {"appeal accept", "appeal accept", kAdminLevel, kConsoleDoor | kPanelDoor, true, false,
     kAppealReason, "APPEAL [REPLY]",
     "accepts the appeal numbered APPEAL: its ban is lifted, the appellant sees REPLY",
     acts::acceptAppeal},
    {"appeal reject", "appeal reject", kAdminLevel, kConsoleDoor | kPanelDoor, true, false,
     kAppealText, "APPEAL REPLY", "rejects the appeal numbered APPEAL; the appellant sees REPLY",
     acts::rejectAppeal},
    {"appeals",
     "appeals",
     kModeratorLevel,
     kConsoleDoor,
     true,
     true,
     {},
     "",
     "the open appeals of bans, from the public page",
     acts::appeals},
    // Before "rules", which would take the word first.
    {"rules reload",
     "rules reload",
     kAdminLevel,
     kConsoleDoor,
     false,
     false,
     {},
     "",
     "reads the --rules file again; a bad one keeps the rules in force",
     acts::reloadRules},
    {"rules",
     "rules",
     kAdminLevel,
     kConsoleDoor,
     false,
     true,
     {},
     "",
     "the moderation rules of --rules and their matches in the last hour",
     acts::listRules},
};

}  // namespace

bool namesPlayer(Argument argument) {
  return argument == Argument::kPlayer || argument == Argument::kRecipient ||
         argument == Argument::kPerson;
}

bool onPlayer(const Act& act) {
  return !act.arguments.empty() && namesPlayer(act.arguments.front());
}

const char* doorName(unsigned door) {
  switch (door) {
    case kConsoleDoor:
      return "console";
    case kGameDoor:
      return "game";
    case kPanelDoor:
      return "panel";
    default:
      return "script";
  }
}

std::span<const Act> allActs() {
  return kActs;
}

std::string permissionRefusal(const Act& act, const Actor& actor) {
  if (!actor.grants) {
    return actor.level < act.level ? std::string("your level may not ") + act.name : "";
  }
  if (actor.grants->allows(act.name)) return "";
  return "the role " + actor.grants->role + (act.read ? " may not read " : " may not ") + act.name;
}

bool mayCommand(const Actor& actor) {
  return actor.grants ? actor.grants->allows("command") : actor.level >= kOperatorLevel;
}

const Act* findAct(std::string_view name) {
  auto found = std::find_if(std::begin(kActs), std::end(kActs),
                            [name](const Act& act) { return name == act.name; });
  return found == std::end(kActs) ? nullptr : found;
}

}  // namespace gsadmin
