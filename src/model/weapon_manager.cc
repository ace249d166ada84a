#include "model/weapon_manager.h"

#include <algorithm>
#include <utility>

namespace gsadmin {

Weapon& WeaponManager::add(uint8_t id, std::optional<std::string> name) {
  std::erase_if(weapons_, [id](const std::unique_ptr<Weapon>& weapon) { return weapon->id == id; });
  weapons_.push_back(std::make_unique<Weapon>(id, std::move(name)));
  return *weapons_.back();
}

const Weapon* WeaponManager::find(int32_t key) const {
  if (key < 0 || key > 255) return nullptr;
  for (const auto& weapon : weapons_) {
    if (weapon->id == key) return weapon.get();
  }
  return nullptr;
}

}  // namespace gsadmin
