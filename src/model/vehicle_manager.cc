#include "model/vehicle_manager.h"

#include <cstddef>
#include <utility>

#include "model/player_manager.h"

namespace gsadmin {

Vehicle* VehicleManager::add(int32_t id, std::optional<std::string> name) {
  const Vehicle* old = find(id);
  for (size_t i = 0; old != nullptr && i < vehicles_.size(); ++i) {
    if (vehicles_[i].get() == old) {
      forgetInPlayers(old);
      vehicles_.erase(vehicles_.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  }
  vehicles_.push_back(std::make_unique<Vehicle>(id, std::move(name)));
  return vehicles_.back().get();
}

Vehicle* VehicleManager::find(int32_t key) const {
  // The conversion to uint8_t keeps the low 8 bits for negative keys too.
  const int32_t low = static_cast<uint8_t>(key);
  for (const auto& vehicle : vehicles_) {
    if (vehicle->id == low) return vehicle.get();
  }
  return nullptr;
}

void VehicleManager::clear() {
  for (const auto& vehicle : vehicles_) forgetInPlayers(vehicle.get());
  vehicles_.clear();
}

void VehicleManager::forgetPlayer(const Player* player) {
  for (const auto& vehicle : vehicles_) {
    if (vehicle->driver == player) vehicle->driver = nullptr;
    vehicle->removePassenger(player);
  }
}

void VehicleManager::forgetInPlayers(const Vehicle* vehicle) {
  if (players_ != nullptr) players_->forgetVehicle(vehicle);
}

void linkRegistries(PlayerManager& players, VehicleManager& vehicles) {
  players.linkVehicles(&vehicles);
  vehicles.linkPlayers(&players);
}

}  // namespace gsadmin
