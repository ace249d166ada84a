#include "model/player_manager.h"

#include <cstddef>
#include <utility>

#include "model/vehicle_manager.h"

namespace gsadmin {

Player& PlayerManager::add(uint8_t id, std::string name) {
  for (size_t i = 0; i < players_.size(); ++i) {
    if (players_[i]->id == id) {
      destroyAt(i);
      break;  // ids are unique, so there is at most one
    }
  }
  players_.push_back(std::make_unique<Player>(id, std::move(name)));
  return *players_.back();
}

Player* PlayerManager::find(uint8_t id) const {
  for (const auto& player : players_) {
    if (player->id == id) return player.get();
  }
  return nullptr;
}

size_t PlayerManager::count() const {
  return players_.size();
}

void PlayerManager::remove(const Player& player) {
  for (size_t i = 0; i < players_.size(); ++i) {
    if (players_[i].get() == &player) {
      destroyAt(i);
      return;
    }
  }
}

void PlayerManager::forgetVehicle(const Vehicle* vehicle) {
  for (const auto& player : players_) {
    if (player->vehicle == vehicle) player->vehicle = nullptr;
  }
}

void PlayerManager::destroyAt(size_t index) {
  if (vehicles_ != nullptr) vehicles_->forgetPlayer(players_[index].get());
  players_.erase(players_.begin() + static_cast<std::ptrdiff_t>(index));
}

}  // namespace gsadmin
