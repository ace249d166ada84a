#ifndef GSADMIN_MODERATION_ACTOR_H_
#define GSADMIN_MODERATION_ACTOR_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "moderation/act_grants.h"

namespace gsadmin {

// The rights of an admin in game, each level with those below it.
inline constexpr int kModeratorLevel = 1;  // !warn, !kick, !tempban up to a day
inline constexpr int kAdminLevel = 2;      // also !ban, !unban, any duration
inline constexpr int kSeniorLevel = 3;     // also !admin
// The operator at the console and the scripts: every right.
inline constexpr int kOperatorLevel = 4;

// Who carries out a moderation action. Its label() names it with the door
// it came through in the "* " line and the audit; the sanction and note
// records keep the plain name, which scripts read.
struct Actor {
  // kPanel: an account of the web panel, whose answers go to the console
  // as the operator's do (the panel shows the console). kRule and kSchedule:
  // a moderation rule or a scheduled entry of the operator's files.
  enum class Kind { kConsole, kPlayer, kScript, kPanel, kRule, kSchedule };
  Kind kind = Kind::kConsole;
  // The operator's admin name, the in-game admin's player name, the
  // script's name, the panel account's name or the rule's or entry's name.
  std::string name;
  int level = kOperatorLevel;
  // kPlayer: the admin's player id, which replies are sent to.
  std::optional<uint8_t> playerId;
  // kPanel: the label of the API token the act came with; empty for a
  // login's session.
  std::string token = {};
  // kPanel: the role of an account of a named role, which decides what it
  // may do in place of `level`; null for an account of a level.
  std::shared_ptr<const ActGrants> grants = {};
  // kPanel: the server of a fleet whose panel asked this client's server
  // for the act; empty for this client's own panel.
  std::string fromServer = {};

  // "console:NAME", "panel:NAME", "game:NAME", "script:NAME", "rule:NAME"
  // or "schedule:NAME"; an act made with an API token says which:
  // "panel:NAME (token LABEL)"; one asked from another server's panel
  // says which: "panel:NAME from SERVER".
  std::string label() const {
    std::string text = std::string(door()) + ":" + name;
    if (!token.empty()) text += " (token " + token + ")";
    return fromServer.empty() ? text : text + " from " + fromServer;
  }

 private:
  const char* door() const {
    switch (kind) {
      case Kind::kConsole:
        return "console";
      case Kind::kPlayer:
        return "game";
      case Kind::kScript:
        return "script";
      case Kind::kPanel:
        return "panel";
      case Kind::kRule:
        return "rule";
      case Kind::kSchedule:
        return "schedule";
    }
    return "?";
  }
};

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_ACTOR_H_
