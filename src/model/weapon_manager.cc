#include "model/weapon_manager.h"

#include <utility>

namespace gsadmin {

Weapon& WeaponManager::add(uint8_t id, std::optional<std::string> name) {
  return records_.addOrReplace(std::make_unique<Weapon>(id, std::move(name)), find(id));
}

const Weapon* WeaponManager::find(int32_t key) const {
  if (key < 0 || key > 255) return nullptr;
  return records_.findFirst([key](const Weapon& weapon) { return weapon.id == key; });
}

}  // namespace gsadmin
