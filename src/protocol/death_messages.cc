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

// The console line of a death, as it always was, and its cause for the log.
struct DeathLine {
  std::string text;
  const char* cause;
};

DeathLine deathLine(const std::string& victimName, const Player* killer, bool byAdmin, bool self,
                    const Weapon* weapon, const std::string& weaponName) {
  std::string with = weapon ? " (" + weaponName + ")" : "";
  if (byAdmin) return {victimName + " killed by Admin", "admin"};
  if (killer == nullptr) {
    if (weapon && weapon->id == kDrownedWeapon) return {victimName + " drowned", "drowned"};
    return {victimName + " died" + with, "other"};
  }
  if (self) return {victimName + " killed himself" + with, "self"};
  return {printable(killer->name) + " killed " + victimName + with, "player"};
}

}  // namespace

void handleDeath(SessionContext& session, const BodyReader& body) {
  Player* victim = session.players().find(body.byteAt(0));
  if (victim == nullptr) return;
  uint8_t killerId = body.byteAt(1);
  Player* killer = session.players().find(killerId);
  const Weapon* weapon = session.weapons().find(body.byteAt(2));
  std::string weaponName = weapon ? printable(weapon->name.value_or(std::string())) : "";

  countUp(victim->deaths);
  int32_t killerArgument = kNoKillingPlayer;
  // The admin marker wins even over a player who has id 100.
  bool byAdmin = killerId == kKillerAdmin;
  // The player the line names as the killer, if any.
  const Player* named = byAdmin || killerId == kNoKiller ? nullptr : killer;
  if (byAdmin) {
    killerArgument = kAdminKiller;
  } else if (named != nullptr) {
    killerArgument = killerId;
    if (named != victim) countUp(killer->kills);
  }
  DeathLine line =
      deathLine(printable(victim->name), named, byAdmin, named == victim, weapon, weaponName);
  std::string rawWeapon = weapon ? weapon->name.value_or(std::string()) : std::string();
  LogEntry entry(LogKind::kKill, line.text);
  entry.add("cause", line.cause).add("victim", victim->id).add("victim_name", victim->name);
  if (named != nullptr) entry.add("killer", named->id).add("killer_name", named->name);
  if (weapon) entry.add("weapon", rawWeapon);
  session.console().entry(entry);
  // After the counters and the line, so that handlers see both.
  std::optional<uint8_t> killingPlayer;
  if (killerId != kKillerAdmin && killer != nullptr) killingPlayer = killerId;
  uint8_t victimId = victim->id;
  session.events().fireEvent(Event::kPlayerDeath, body.byteAt(0), killerArgument, body.byteAt(2));
  if (Moderation* moderation = session.moderation())
    moderation->playerDied(victimId, killingPlayer);
}

}  // namespace gsadmin
