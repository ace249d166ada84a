#include "model/vehicle_manager.h"

#include <gtest/gtest.h>

#include <vector>

namespace gsadmin {
namespace {

std::vector<int32_t> idsOf(const VehicleManager& vehicles) {
  std::vector<int32_t> ids;
  for (const auto& vehicle : vehicles.all()) ids.push_back(vehicle->id);
  return ids;
}

TEST(VehicleManagerTest, AddCreatesFreshRecord) {
  VehicleManager vehicles;
  Vehicle* v = &vehicles.add(3, "Taxi");
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->id, 3);
  EXPECT_EQ(v->name, "Taxi");
  EXPECT_EQ(v->driver, nullptr);
  EXPECT_TRUE(v->passengers.empty());
  EXPECT_EQ(v->health, 100.0f);
  EXPECT_EQ(v->position.x, 0.0f);
  EXPECT_EQ(v->spawnpoint.z, 0.0f);
  EXPECT_EQ(vehicles.find(3), v);
}

TEST(VehicleManagerTest, NameGivenAsNoneStaysAbsent) {
  VehicleManager vehicles;
  vehicles.add(4, std::nullopt);
  vehicles.add(5, "");
  ASSERT_NE(vehicles.find(4), nullptr);
  EXPECT_FALSE(vehicles.find(4)->name.has_value());
  ASSERT_NE(vehicles.find(5), nullptr);
  EXPECT_EQ(vehicles.find(5)->name, "");
}

TEST(VehicleManagerTest, AddSameIdReplacesMovesLastAndResets) {
  VehicleManager vehicles;
  Player rider(9, "rider");
  Vehicle* old = &vehicles.add(1, "Taxi");
  vehicles.add(2, "Dodo");
  old->driver = &rider;
  old->addPassenger(&rider);
  old->health = 20.0f;
  old->position = {1.0f, 2.0f, 3.0f};
  old->spawnpoint = {4.0f, 5.0f, 6.0f};

  Vehicle* fresh = &vehicles.add(1, "Cheetah");
  EXPECT_EQ(vehicles.size(), 2u);
  EXPECT_EQ(idsOf(vehicles), (std::vector<int32_t>{2, 1}));
  EXPECT_EQ(vehicles.find(1), fresh);
  EXPECT_EQ(fresh->name, "Cheetah");
  EXPECT_EQ(fresh->driver, nullptr);
  EXPECT_TRUE(fresh->passengers.empty());
  EXPECT_EQ(fresh->health, 100.0f);
  EXPECT_EQ(fresh->position.y, 0.0f);
  EXPECT_EQ(fresh->spawnpoint.x, 0.0f);
}

TEST(VehicleManagerTest, FindComparesLowEightBitsOfKey) {
  VehicleManager vehicles;
  EXPECT_EQ(vehicles.find(0), nullptr);

  Vehicle* five = &vehicles.add(5, "five");
  Vehicle* top = &vehicles.add(255, "top");
  EXPECT_EQ(vehicles.find(261), five);
  EXPECT_EQ(vehicles.find(-1), top);
  EXPECT_EQ(vehicles.find(-251), five);
  EXPECT_EQ(vehicles.find(6), nullptr);

  // Stored ids outside 0..255 can never match a low byte.
  vehicles.add(300, "high");
  vehicles.add(-3, "negative");
  EXPECT_EQ(vehicles.find(300), nullptr);
  EXPECT_EQ(vehicles.find(300 & 0xff), nullptr);
  EXPECT_EQ(vehicles.find(-3), nullptr);
  EXPECT_EQ(vehicles.size(), 4u);
}

TEST(VehicleManagerTest, AddReplacesWhatFindReturns) {
  VehicleManager vehicles;
  vehicles.add(5, "five");
  Vehicle* high = &vehicles.add(261, "high");  // key 261 finds id 5
  EXPECT_EQ(vehicles.size(), 1u);
  EXPECT_EQ(high->id, 261);
  EXPECT_EQ(vehicles.find(5), nullptr);
}

TEST(VehicleManagerTest, Clear) {
  VehicleManager vehicles;
  vehicles.clear();
  EXPECT_EQ(vehicles.size(), 0u);

  for (int32_t id = 0; id < 10; ++id) vehicles.add(id, "v");
  vehicles.clear();
  EXPECT_EQ(vehicles.size(), 0u);
  for (int32_t id = 0; id < 256; ++id) EXPECT_EQ(vehicles.find(id), nullptr);
}

TEST(VehicleTest, PassengersByIdentity) {
  Vehicle car(1, "Taxi");
  Player a(1, "a");
  Player b(2, "b");
  Player aTwin(1, "a");  // same id, different record
  EXPECT_FALSE(car.hasPassenger(&a));

  car.addPassenger(&a);
  EXPECT_TRUE(car.hasPassenger(&a));
  EXPECT_FALSE(car.hasPassenger(&b));
  EXPECT_FALSE(car.hasPassenger(&aTwin));
}

TEST(VehicleTest, DuplicatePassengersGoInOneRemove) {
  Vehicle car(1, "Taxi");
  Player a(1, "a");
  Player b(2, "b");
  Player c(3, "c");
  car.addPassenger(&a);
  car.addPassenger(&b);
  car.addPassenger(&a);
  car.addPassenger(&c);
  EXPECT_EQ(car.passengers.size(), 4u);

  car.removePassenger(&a);
  EXPECT_EQ(car.passengers, (std::vector<Player*>{&b, &c}));
  EXPECT_FALSE(car.hasPassenger(&a));

  car.removePassenger(&a);  // absent: nothing changes
  EXPECT_EQ(car.passengers, (std::vector<Player*>{&b, &c}));
}

}  // namespace
}  // namespace gsadmin
