#ifndef GSADMIN_MODEL_WEAPON_MANAGER_H_
#define GSADMIN_MODEL_WEAPON_MANAGER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/registry.h"
#include "model/weapon.h"

namespace gsadmin {

// The weapons of the server's game, in the order they were added. Owns
// every Weapon; nothing else refers to them between calls.
class WeaponManager {
 public:
  WeaponManager() = default;
  WeaponManager(const WeaponManager&) = delete;
  WeaponManager& operator=(const WeaponManager&) = delete;

  // Destroys any weapon with this id, then appends a new one.
  Weapon& add(uint8_t id, std::optional<std::string> name);

  // The first weapon with this id; a key outside 0 to 255 finds nothing.
  const Weapon* find(int32_t key) const;

  void clear() { records_.clear(); }
  size_t size() const { return records_.size(); }
  const std::vector<std::unique_ptr<Weapon>>& all() const { return records_.all(); }

 private:
  Registry<Weapon> records_;
};

}  // namespace gsadmin

#endif  // GSADMIN_MODEL_WEAPON_MANAGER_H_
