#include "model/vehicle.h"

#include <algorithm>

namespace gsadmin {

bool Vehicle::hasPassenger(const Player* player) const {
  return std::find(passengers.begin(), passengers.end(), player) != passengers.end();
}

void Vehicle::addPassenger(Player* player) {
  passengers.push_back(player);
}

void Vehicle::removePassenger(const Player* player) {
  std::erase(passengers, player);
}

}  // namespace gsadmin
