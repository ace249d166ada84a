#ifndef GSADMIN_MODEL_VEHICLE_MANAGER_H_
#define GSADMIN_MODEL_VEHICLE_MANAGER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/vehicle.h"

namespace gsadmin {

class PlayerManager;

// The vehicles of the current roster, in the order they were added. Owns
// every Vehicle. Before it destroys a vehicle (replace or clear) it clears
// every linked player's pointer to it, so no player refers to a dead vehicle.
class VehicleManager {
 public:
  VehicleManager() = default;
  VehicleManager(const VehicleManager&) = delete;
  VehicleManager& operator=(const VehicleManager&) = delete;

  // *players must remain live while linked; null unlinks.
  void linkPlayers(PlayerManager* players) { players_ = players; }

  // Destroys the vehicle that find(id) returns, if any, then appends a fresh
  // record: no driver, no passengers, health 100, zero position and
  // spawnpoint. The pointer stays valid until that vehicle is replaced or
  // cleared.
  Vehicle* add(int32_t id, std::optional<std::string> name);

  // The first vehicle whose stored id equals the key's low 8 bits (0 to
  // 255), or null. A vehicle stored with an id above 255 is never found.
  Vehicle* find(int32_t key) const;

  // Destroys every vehicle.
  void clear();

  // Clears `player` as driver of every vehicle and takes it out of every
  // passenger list. Called by the PlayerManager before it destroys a player.
  void forgetPlayer(const Player* player);

  size_t size() const { return vehicles_.size(); }
  const std::vector<std::unique_ptr<Vehicle>>& all() const { return vehicles_; }

 private:
  void forgetInPlayers(const Vehicle* vehicle);

  std::vector<std::unique_ptr<Vehicle>> vehicles_;
  PlayerManager* players_ = nullptr;
};

// Links the two registries both ways. Both must remain live while linked.
void linkRegistries(PlayerManager& players, VehicleManager& vehicles);

}  // namespace gsadmin

#endif  // GSADMIN_MODEL_VEHICLE_MANAGER_H_
