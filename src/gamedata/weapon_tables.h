#ifndef GSADMIN_GAMEDATA_WEAPON_TABLES_H_
#define GSADMIN_GAMEDATA_WEAPON_TABLES_H_

#include <cstdint>
#include <span>

#include "model/server_info.h"
#include "model/weapon_manager.h"

namespace gsadmin {

struct WeaponEntry {
  uint8_t id;
  const char* name;
};

// The built-in table of a game code, in the order it is added: ascending
// ids, the three causes of death last. Empty for an unknown game code.
std::span<const WeaponEntry> weaponTableFor(uint16_t gameCode);

// Empties *weapons and fills it from the table of info.gameCode. A null
// manager makes this a no-op.
void buildWeaponTable(const ServerInfo& info, WeaponManager* weapons);

}  // namespace gsadmin

#endif  // GSADMIN_GAMEDATA_WEAPON_TABLES_H_
