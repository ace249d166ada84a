#ifndef GSADMIN_MODEL_VEHICLE_MANAGER_H_
#define GSADMIN_MODEL_VEHICLE_MANAGER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/registry.h"
#include "model/vehicle.h"

namespace gsadmin {

// The vehicles of the current roster, in the order they were added. Owns
// every Vehicle; the World it belongs to clears every player's pointer to a
// vehicle before the record is destroyed (replace or clear).
class VehicleManager {
 public:
  VehicleManager() = default;
  VehicleManager(const VehicleManager&) = delete;
  VehicleManager& operator=(const VehicleManager&) = delete;

  // Destroys the vehicle that find(id) returns, if any, then appends a fresh
  // record: no driver, no passengers, health 100, zero position and
  // spawnpoint. The reference stays valid until that vehicle is replaced or
  // cleared.
  Vehicle& add(int32_t id, std::optional<std::string> name);
  // The first vehicle whose stored id equals the key's low 8 bits (0 to
  // 255), or null. A vehicle stored with an id above 255 is never found.
  Vehicle* find(int32_t key) const;
  // Destroys every vehicle.
  void clear() { records_.clear(); }

  size_t size() const { return records_.size(); }
  const std::vector<std::unique_ptr<Vehicle>>& all() const { return records_.all(); }
  Registry<Vehicle>& registry() { return records_; }

 private:
  Registry<Vehicle> records_;
};

}  // namespace gsadmin

#endif  // GSADMIN_MODEL_VEHICLE_MANAGER_H_
