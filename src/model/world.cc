#include "model/world.h"

namespace gsadmin {

World::World() {
  players_.registry().setForgetHook([this](const Player* player) {
    for (const auto& vehicle : vehicles_.all()) {
      if (vehicle->driver == player) vehicle->driver = nullptr;
      vehicle->removePassenger(player);
    }
  });
  vehicles_.registry().setForgetHook([this](const Vehicle* vehicle) {
    for (const auto& player : players_.all()) {
      if (player->vehicle == vehicle) player->vehicle = nullptr;
    }
  });
}

}  // namespace gsadmin
