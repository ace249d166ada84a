#include "protocol/death_messages.h"

#include "console/console.h"
#include "console/printable.h"
#include "context/session_context.h"
#include "protocol/wire.h"

namespace gsadmin {
namespace {

using wire::kKillerAdmin;
using wire::kNoKiller;
constexpr uint8_t kDrownedWeapon = 43;

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
  // The admin marker wins even over a player who has id 100.
  if (killerId == kKillerAdmin) {
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
    if (weapon) {
      session.console().line(victimName + " killed himself (" + weaponName + ")");
    } else {
      session.console().line(victimName + " killed himself");
    }
  } else {
    countUp(killer->kills);
    std::string killerName = printable(killer->name);
    if (weapon) {
      session.console().line(killerName + " killed " + victimName + " (" + weaponName + ")");
    } else {
      session.console().line(killerName + " killed " + victimName);
    }
  }
}

}  // namespace gsadmin
