#include "protocol/death_messages.h"

#include "console/console.h"
#include "console/printable.h"
#include "context/session_context.h"
#include "moderation/moderation.h"
#include "protocol/wire.h"

namespace gsadmin {
namespace {

using wire::kKillerAdmin;
using wire::kNoKiller;
constexpr uint8_t kDrownedWeapon = 43;
// What "onPlayerDeath" passes as the killer when it is not a player.
constexpr int32_t kNoKillingPlayer = -1;
constexpr int32_t kAdminKiller = -2;

void countUp(uint16_t& counter) {
  counter = static_cast<uint16_t>(counter + 1);
}

}  // namespace

void handleDeath(SessionContext& session, const BodyReader& body) {
  Player* victim = session.players().find(body.byteAt(0));
  if (victim == nullptr) return;
  uint8_t killerId = body.byteAt(1);
  Player* killer = session.players().find(killerId);
  const Weapon* weapon = session.weapons().find(body.byteAt(2));
  std::string weaponName = weapon ? printable(weapon->name.value_or(std::string())) : "";
  std::string victimName = printable(victim->name);

  countUp(victim->deaths);
  int32_t killerArgument = kNoKillingPlayer;
  // The admin marker wins even over a player who has id 100.
  if (killerId == kKillerAdmin) {
    killerArgument = kAdminKiller;
    session.console().line(victimName + " killed by Admin");
  } else if (killerId == kNoKiller || killer == nullptr) {
    if (weapon && weapon->id == kDrownedWeapon) {
      session.console().line(victimName + " drowned");
    } else if (weapon) {
      session.console().line(victimName + " died (" + weaponName + ")");
    } else {
      session.console().line(victimName + " died");
    }
  } else if (killer == victim) {
    killerArgument = killerId;
    if (weapon) {
      session.console().line(victimName + " killed himself (" + weaponName + ")");
    } else {
      session.console().line(victimName + " killed himself");
    }
  } else {
    killerArgument = killerId;
    countUp(killer->kills);
    std::string killerName = printable(killer->name);
    if (weapon) {
      session.console().line(killerName + " killed " + victimName + " (" + weaponName + ")");
    } else {
      session.console().line(killerName + " killed " + victimName);
    }
  }
  // After the counters and the line, so that handlers see both.
  std::optional<uint8_t> killingPlayer;
  if (killerId != kKillerAdmin && killer != nullptr) killingPlayer = killerId;
  uint8_t victimId = victim->id;
  session.events().fireEvent(Event::kPlayerDeath, body.byteAt(0), killerArgument, body.byteAt(2));
  if (Moderation* moderation = session.moderation())
    moderation->playerDied(victimId, killingPlayer);
}

}  // namespace gsadmin
