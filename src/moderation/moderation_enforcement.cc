// Bans enforced at every join: a banned name, in any letter case, or a
// name seen with the same details as a banned one, is told why and kicked.

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

void Moderation::enforceBan(const Player& player, bool withAliases) {
  if (presence_[player.id].kickedAsBanned) return;
  int64_t moment = now();
  // In memory: the check at a join never waits for the disk.
  std::optional<SanctionRecord> ban = sanctions_.activeBan(player.name, moment);
  std::string alias;
  if (!ban && withAliases) {
    for (std::string& other : history_.namesWithDetails(player.info)) {
      if (nameKey(other) == nameKey(player.name)) continue;
      ban = sanctions_.activeBan(other, moment);
      if (ban) {
        alias = std::move(other);
        break;
      }
    }
  }
  if (!ban) return;
  presence_[player.id].kickedAsBanned = true;
  uint8_t id = player.id;
  std::string name = player.name;
  admin::sendMessage(session_, id, banMessage(ban->until, moment, ban->reason));
  admin::kickPlayer(session_, id);
  std::string as = alias.empty() ? std::string() : "as " + printable(alias) + " ";
  session_.console().line("* " + printable(name) + " is banned " + as + banTerms(*ban) +
                          ": kicked");
}

}  // namespace gsadmin
