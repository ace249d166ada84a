#include "model/game_tables.h"

#include <string>

#include "gamedata/vehicle_rosters.h"
#include "gamedata/weapon_tables.h"

namespace gsadmin {

void buildVehicleRoster(const ServerInfo& info, VehicleManager& vehicles) {
  vehicles.clear();
  vehicles.add(0, std::string("Foot"));
  const Roster* roster = rosterFor(info.gameCode, info.gameMode);
  if (roster == nullptr) return;
  int32_t id = 1;
  for (const RosterEntry& entry : roster->vehicles) {
    Vehicle& vehicle = vehicles.add(id++, std::string(entry.name));
    if (roster->hasSpawnpoints) {
      vehicle.spawnpoint = Position{entry.x, entry.y, entry.z};
      // Until its first driver update, a vehicle is taken to stand where it
      // spawns.
      vehicle.position = vehicle.spawnpoint;
    }
  }
}

void buildWeaponTable(const ServerInfo& info, WeaponManager& weapons) {
  weapons.clear();
  for (const WeaponEntry& entry : weaponTableFor(info.gameCode)) {
    weapons.add(entry.id, std::string(entry.name));
  }
}

}  // namespace gsadmin
