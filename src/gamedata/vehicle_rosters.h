#ifndef GSADMIN_GAMEDATA_VEHICLE_ROSTERS_H_
#define GSADMIN_GAMEDATA_VEHICLE_ROSTERS_H_

#include <cstdint>
#include <span>

#include "model/server_info.h"
#include "model/vehicle_manager.h"

namespace gsadmin {

struct RosterEntry {
  const char* name;
  // Spawnpoint; zero in rosters that carry none.
  float x;
  float y;
  float z;
};

struct Roster {
  uint16_t gameCode;
  uint16_t gameMode;
  bool hasSpawnpoints;
  std::span<const RosterEntry> vehicles;  // ids 1, 2, 3, ... in this order
};

// The roster of a game code and game mode, or null when there is none.
const Roster* rosterFor(uint16_t gameCode, uint16_t gameMode);

// Empties *vehicles, adds "Foot" as id 0, then the roster of the info's game
// code and mode, if any. Vehicles of a roster with spawnpoints start at their
// spawnpoint; all others at (0, 0, 0). A null manager makes this a no-op.
void buildVehicleRoster(const ServerInfo& info, VehicleManager* vehicles);

}  // namespace gsadmin

#endif  // GSADMIN_GAMEDATA_VEHICLE_ROSTERS_H_
