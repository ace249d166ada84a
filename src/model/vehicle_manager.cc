#include "model/vehicle_manager.h"

#include <utility>

namespace gsadmin {

Vehicle& VehicleManager::add(int32_t id, std::optional<std::string> name) {
  return records_.addOrReplace(std::make_unique<Vehicle>(id, std::move(name)), find(id));
}

Vehicle* VehicleManager::find(int32_t key) const {
  // The conversion to uint8_t keeps the low 8 bits for negative keys too.
  const int32_t low = static_cast<uint8_t>(key);
  return records_.findFirst([low](const Vehicle& vehicle) { return vehicle.id == low; });
}

}  // namespace gsadmin
