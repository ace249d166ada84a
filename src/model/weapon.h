#ifndef GSADMIN_MODEL_WEAPON_H_
#define GSADMIN_MODEL_WEAPON_H_

#include <cstdint>
#include <optional>
#include <string>

namespace gsadmin {

struct Weapon {
  Weapon(uint8_t id, std::optional<std::string> name) : id(id), name(std::move(name)) {}

  uint8_t id;
  std::optional<std::string> name;
};

}  // namespace gsadmin

#endif  // GSADMIN_MODEL_WEAPON_H_
