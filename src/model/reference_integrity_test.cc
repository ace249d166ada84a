// A player's vehicle and a vehicle's driver and passengers are plain
// pointers into the other registry; these tests check that destroying a
// record through either manager of a World never leaves one dangling.

#include <gtest/gtest.h>

#include <algorithm>

#include "model/game_tables.h"
#include "model/player_manager.h"
#include "model/server_info.h"
#include "model/vehicle_manager.h"
#include "model/world.h"

namespace gsadmin {
namespace {

bool isLivePlayer(const PlayerManager& players, const Player* player) {
  const auto& all = players.all();
  return std::any_of(all.begin(), all.end(), [player](const auto& p) { return p.get() == player; });
}

bool isLiveVehicle(const VehicleManager& vehicles, const Vehicle* vehicle) {
  const auto& all = vehicles.all();
  return std::any_of(all.begin(), all.end(),
                     [vehicle](const auto& v) { return v.get() == vehicle; });
}

// Every pointer in either registry names a record that is still held.
void expectNoDanglingPointers(const PlayerManager& players, const VehicleManager& vehicles) {
  for (const auto& vehicle : vehicles.all()) {
    if (vehicle->driver != nullptr) {
      EXPECT_TRUE(isLivePlayer(players, vehicle->driver)) << "driver of vehicle " << vehicle->id;
    }
    for (const Player* passenger : vehicle->passengers) {
      EXPECT_TRUE(isLivePlayer(players, passenger)) << "passenger of vehicle " << vehicle->id;
    }
  }
  for (const auto& player : players.all()) {
    if (player->vehicle != nullptr) {
      EXPECT_TRUE(isLiveVehicle(vehicles, player->vehicle)) << "vehicle of player " << +player->id;
    }
  }
}

class ReferenceIntegrityTest : public ::testing::Test {
 protected:
  ReferenceIntegrityTest() {
    car_ = &vehicles_.add(1, "Taxi");
    van_ = &vehicles_.add(2, "Rumpo");
    alice_ = &players_.add(1, "alice");
    bob_ = &players_.add(2, "bob");

    // alice drives the car and rides in the van twice over; bob rides in
    // the car.
    car_->driver = alice_;
    alice_->vehicle = car_;
    van_->addPassenger(alice_);
    van_->addPassenger(alice_);
    car_->addPassenger(bob_);
    bob_->vehicle = car_;
  }

  World world_;
  PlayerManager& players_ = world_.players();
  VehicleManager& vehicles_ = world_.vehicles();
  Vehicle* car_ = nullptr;
  Vehicle* van_ = nullptr;
  Player* alice_ = nullptr;
  Player* bob_ = nullptr;
};

TEST_F(ReferenceIntegrityTest, QuittingPlayerLeavesEveryVehicle) {
  players_.remove(*alice_);
  EXPECT_EQ(car_->driver, nullptr);
  EXPECT_TRUE(van_->passengers.empty());
  EXPECT_EQ(car_->passengers, (std::vector<Player*>{bob_}));
  expectNoDanglingPointers(players_, vehicles_);

  players_.remove(*bob_);
  EXPECT_TRUE(car_->passengers.empty());
  expectNoDanglingPointers(players_, vehicles_);
}

TEST_F(ReferenceIntegrityTest, ReplacedPlayerLeavesEveryVehicle) {
  Player& again = players_.add(1, "alice");
  EXPECT_EQ(car_->driver, nullptr);
  EXPECT_TRUE(van_->passengers.empty());
  EXPECT_FALSE(car_->hasPassenger(&again));
  EXPECT_EQ(car_->passengers, (std::vector<Player*>{bob_}));
  expectNoDanglingPointers(players_, vehicles_);
}

TEST_F(ReferenceIntegrityTest, ReplacedVehicleIsForgottenByItsPlayers) {
  van_->driver = bob_;
  Vehicle* newCar = &vehicles_.add(1, "Cheetah");
  EXPECT_EQ(alice_->vehicle, nullptr);
  EXPECT_EQ(bob_->vehicle, nullptr);
  EXPECT_EQ(newCar->driver, nullptr);
  // The other vehicle keeps its own references.
  EXPECT_EQ(van_->driver, bob_);
  EXPECT_EQ(van_->passengers.size(), 2u);
  expectNoDanglingPointers(players_, vehicles_);

  bob_->vehicle = van_;
  vehicles_.add(2, "Rumpo");
  EXPECT_EQ(bob_->vehicle, nullptr);
  expectNoDanglingPointers(players_, vehicles_);
}

TEST_F(ReferenceIntegrityTest, ClearIsForgottenByEveryPlayer) {
  van_->addPassenger(bob_);
  vehicles_.clear();
  EXPECT_EQ(alice_->vehicle, nullptr);
  EXPECT_EQ(bob_->vehicle, nullptr);
  // Removing a player once the vehicles are gone must not touch them.
  players_.remove(*alice_);
  expectNoDanglingPointers(players_, vehicles_);
}

TEST_F(ReferenceIntegrityTest, RosterRebuildIsForgottenByEveryPlayer) {
  ServerInfo info;
  info.gameCode = 2;
  info.gameMode = 1;
  buildVehicleRoster(info, vehicles_);
  EXPECT_EQ(alice_->vehicle, nullptr);
  EXPECT_EQ(bob_->vehicle, nullptr);
  expectNoDanglingPointers(players_, vehicles_);

  // Players seated in the new roster are released by the next rebuild too.
  Vehicle* barracks = vehicles_.find(1);
  ASSERT_NE(barracks, nullptr);
  barracks->driver = alice_;
  alice_->vehicle = barracks;
  barracks->addPassenger(bob_);
  bob_->vehicle = barracks;
  buildVehicleRoster(info, vehicles_);
  EXPECT_EQ(alice_->vehicle, nullptr);
  EXPECT_EQ(bob_->vehicle, nullptr);
  expectNoDanglingPointers(players_, vehicles_);
}

}  // namespace
}  // namespace gsadmin
