// Bans enforced at every join: a banned name, in any letter case, a name
// that looks like a banned one, or a name seen with the same details as a
// banned one, is told why and kicked.

#include "base/durations.h"
#include "console/printable.h"
#include "context/admin_actions.h"
#include "context/session_context.h"
#include "moderation/moderation.h"
#include "moderation/moderation_texts.h"

namespace gsadmin {
namespace {

// "until DATE (REASON)" or "permanently (REASON)", for the console's line.
std::string banTerms(const SanctionRecord& ban) {
  std::string reason = " (" + printable(shownReason(ban.reason)) + ")";
  return ban.until ? "until " + formatUtcTime(*ban.until) + reason : "permanently" + reason;
}

}  // namespace

void Moderation::removedByAct(uint8_t playerId) {
  presence_[playerId].kickedAsBanned = true;
}

void Moderation::enforceBan(const Player& player, bool withAliases) {
  if (presence_[player.id].kickedAsBanned) return;
  int64_t moment = now();
  // The index in memory: the check at a join asks the database only for a
  // ban that may hold.
  std::optional<SanctionRecord> ban = sanctions_.activeBan(player.name, moment);
  if (!ban && withAliases) {
    for (const std::string& other : history_.namesWithDetails(player.info)) {
      if (nameKey(other) == nameKey(player.name)) continue;
      ban = sanctions_.activeBan(other, moment);
      if (ban) break;
    }
  }
  if (!ban) return;
  presence_[player.id].kickedAsBanned = true;
  uint8_t id = player.id;
  std::string name = player.name;
  admin::sendMessage(session_, id,
                     banMessage(ban->id, ban->until, moment, ban->reason, settings_.appealUrl));
  admin::kickPlayer(session_, id);
  // The banned name, where the player's own differs: an alias or a
  // look-alike.
  std::string as =
      nameKey(ban->name) == nameKey(name) ? std::string() : "as " + printable(ban->name) + " ";
  session_.console().line("* " + printable(name) + " is banned " + as + banTerms(*ban) +
                          ": kicked");
}

}  // namespace gsadmin
