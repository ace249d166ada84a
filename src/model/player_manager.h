#ifndef GSADMIN_MODEL_PLAYER_MANAGER_H_
#define GSADMIN_MODEL_PLAYER_MANAGER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/player.h"

namespace gsadmin {

class VehicleManager;

// The players on the server, in the order they were added, at most one per
// id. Owns every Player. This is the one place that destroys players, and it
// first drops the player from every vehicle of the linked VehicleManager, so
// no driver or passenger pointer outlives its player.
class PlayerManager {
 public:
  PlayerManager() = default;
  PlayerManager(const PlayerManager&) = delete;
  PlayerManager& operator=(const PlayerManager&) = delete;

  // Vehicles whose driver and passenger lists must be kept free of destroyed
  // players. *vehicles must remain live while linked; null unlinks. The
  // destructor tells nobody: both registries are destroyed together.
  void linkVehicles(VehicleManager* vehicles) { vehicles_ = vehicles; }

  // Destroys any player with this id (no event, no notice beyond the vehicle
  // clean-up), then appends a fresh record: info "Unknown", status 1, zero
  // counters, health 100, no vehicle, position (0, 0, 0). The reference stays
  // valid until that player is removed or replaced.
  Player& add(uint8_t id, std::string name);

  // The first player with this id, or null.
  Player* find(uint8_t id) const;

  // Number of players (every record has a name, possibly empty).
  size_t count() const;

  // Takes the record out and destroys it; `player` dangles afterwards. A
  // record that is not in this manager is ignored.
  void remove(const Player& player);

  // Clears every player's vehicle pointer that names `vehicle`. Called by the
  // VehicleManager before it destroys a vehicle.
  void forgetVehicle(const Vehicle* vehicle);

  const std::vector<std::unique_ptr<Player>>& all() const { return players_; }

 private:
  void destroyAt(size_t index);

  std::vector<std::unique_ptr<Player>> players_;
  VehicleManager* vehicles_ = nullptr;
};

}  // namespace gsadmin

#endif  // GSADMIN_MODEL_PLAYER_MANAGER_H_
