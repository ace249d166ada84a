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

const Player* Vehicle::currentDriver() const {
  if (driver == nullptr || driver->vehicle != this || hasPassenger(driver)) return nullptr;
  return driver;
}

std::vector<const Player*> Vehicle::currentPassengers() const {
  std::vector<const Player*> aboard;
  for (const Player* passenger : passengers) {
    if (passenger->vehicle == this) aboard.push_back(passenger);
  }
  return aboard;
}

}  // namespace gsadmin
