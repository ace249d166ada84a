#ifndef GSADMIN_MODEL_VEHICLE_H_
#define GSADMIN_MODEL_VEHICLE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/player.h"

namespace gsadmin {

// One vehicle of the current roster. Owned by the VehicleManager. The driver
// and passenger pointers never dangle: the PlayerManager drops a player from
// every vehicle before destroying it.
struct Vehicle {
  Vehicle(int32_t id, std::optional<std::string> name) : id(id), name(std::move(name)) {}

  int32_t id;
  std::optional<std::string> name;
  Player* driver = nullptr;  // latest player to send a driver update
  std::vector<Player*> passengers;
  float health = 100.0f;
  Position position;
  Position spawnpoint;

  // True when the passenger list holds this very record (identity, not id).
  bool hasPassenger(const Player* player) const;
  // Appends without testing for a duplicate.
  void addPassenger(Player* player);
  // Takes every entry for the player out, keeping the order of the rest.
  void removePassenger(const Player* player);

  // Who is in it now, as far as the updates tell. `driver` and
  // `passengers` keep who last drove and rode it, after they got out too;
  // these leave out whoever is in another vehicle or on foot since, and a
  // driver who moved to a passenger seat. Null when nobody drives it.
  const Player* currentDriver() const;
  // In passenger-list order.
  std::vector<const Player*> currentPassengers() const;
};

}  // namespace gsadmin

#endif  // GSADMIN_MODEL_VEHICLE_H_
