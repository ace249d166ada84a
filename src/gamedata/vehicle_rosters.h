#ifndef GSADMIN_GAMEDATA_VEHICLE_ROSTERS_H_
#define GSADMIN_GAMEDATA_VEHICLE_ROSTERS_H_

#include <cstdint>
#include <span>

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

}  // namespace gsadmin

#endif  // GSADMIN_GAMEDATA_VEHICLE_ROSTERS_H_
