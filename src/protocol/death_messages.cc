#include "protocol/death_messages.h"

#include <cstdio>

#include "protocol/printable.h"
#include "protocol/wire.h"
#include "session/admin_session.h"

namespace gsadmin {
namespace {

using wire::kKillerAdmin;
using wire::kNoKiller;
constexpr uint8_t kDrownedWeapon = 43;

void countUp(uint16_t& counter) {
  counter = static_cast<uint16_t>(counter + 1);
}

}  // namespace

void handleDeath(AdminSession& session, const BodyReader& body) {
  Player* victim = session.players()->find(body.byteAt(0));
  if (victim == nullptr) return;
  uint8_t killerId = body.byteAt(1);
  Player* killer = session.players()->find(killerId);
  const Weapon* weapon = session.weapons()->find(body.byteAt(2));
  std::string weaponName = weapon ? printable(weapon->name.value_or(std::string())) : "";
  std::string victimName = printable(victim->name);

  countUp(victim->deaths);
  // The admin marker wins even over a player who has id 100.
  if (killerId == kKillerAdmin) {
    std::printf("%s killed by Admin\n", victimName.c_str());
  } else if (killerId == kNoKiller || killer == nullptr) {
    if (weapon && weapon->id == kDrownedWeapon) {
      std::printf("%s drowned\n", victimName.c_str());
    } else if (weapon) {
      std::printf("%s died (%s)\n", victimName.c_str(), weaponName.c_str());
    } else {
      std::printf("%s died\n", victimName.c_str());
    }
  } else if (killer == victim) {
    if (weapon) {
      std::printf("%s killed himself (%s)\n", victimName.c_str(), weaponName.c_str());
    } else {
      std::printf("%s killed himself\n", victimName.c_str());
    }
  } else {
    countUp(killer->kills);
    std::string killerName = printable(killer->name);
    if (weapon) {
      std::printf("%s killed %s (%s)\n", killerName.c_str(), victimName.c_str(),
                  weaponName.c_str());
    } else {
      std::printf("%s killed %s\n", killerName.c_str(), victimName.c_str());
    }
  }
}

}  // namespace gsadmin
