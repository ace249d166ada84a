#ifndef GSADMIN_GAMEDATA_WEAPON_TABLES_H_
#define GSADMIN_GAMEDATA_WEAPON_TABLES_H_

#include <cstdint>
#include <span>

namespace gsadmin {

struct WeaponEntry {
  uint8_t id;
  const char* name;
};

// The built-in table of a game code, in the order it is added: ascending
// ids, the three causes of death last. Empty for an unknown game code.
std::span<const WeaponEntry> weaponTableFor(uint16_t gameCode);

}  // namespace gsadmin

#endif  // GSADMIN_GAMEDATA_WEAPON_TABLES_H_
