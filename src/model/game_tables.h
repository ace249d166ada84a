#ifndef GSADMIN_MODEL_GAME_TABLES_H_
#define GSADMIN_MODEL_GAME_TABLES_H_

#include "model/server_info.h"
#include "model/vehicle_manager.h"
#include "model/weapon_manager.h"

namespace gsadmin {

// Empties `vehicles`, adds "Foot" as id 0, then the roster of the info's game
// code and mode, if any. Vehicles of a roster with spawnpoints start at their
// spawnpoint; all others at (0, 0, 0).
void buildVehicleRoster(const ServerInfo& info, VehicleManager& vehicles);

// Empties `weapons` and fills it from the built-in table of info.gameCode.
void buildWeaponTable(const ServerInfo& info, WeaponManager& weapons);

}  // namespace gsadmin

#endif  // GSADMIN_MODEL_GAME_TABLES_H_
