#ifndef GSADMIN_MODEL_WORLD_H_
#define GSADMIN_MODEL_WORLD_H_

#include "model/player_manager.h"
#include "model/server_info.h"
#include "model/vehicle_manager.h"
#include "model/weapon_manager.h"

namespace gsadmin {

// The client's model of the server: the server record and the three
// registries, owned for the World's life. The World alone keeps the
// players' and vehicles' pointers at each other sound: before a player is
// destroyed it leaves every vehicle, and before a vehicle is destroyed no
// player sits in it any more.
class World {
 public:
  World();
  World(const World&) = delete;
  World& operator=(const World&) = delete;

  ServerInfo& serverInfo() { return serverInfo_; }
  PlayerManager& players() { return players_; }
  VehicleManager& vehicles() { return vehicles_; }
  WeaponManager& weapons() { return weapons_; }

 private:
  ServerInfo serverInfo_;
  PlayerManager players_;
  VehicleManager vehicles_;
  WeaponManager weapons_;
};

}  // namespace gsadmin

#endif  // GSADMIN_MODEL_WORLD_H_
