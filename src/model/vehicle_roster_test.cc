#include <gtest/gtest.h>

#include <map>
#include <string>

#include "gamedata/vehicle_rosters.h"
#include "model/game_tables.h"

namespace gsadmin {
namespace {

void build(VehicleManager& vehicles, uint16_t gameCode, uint16_t gameMode) {
  ServerInfo info;
  info.gameCode = gameCode;
  info.gameMode = gameMode;
  buildVehicleRoster(info, vehicles);
}

// Ids 0..last in order, "Foot" first, every vehicle fresh.
void expectFreshRoster(const VehicleManager& vehicles, int32_t last) {
  ASSERT_EQ(vehicles.size(), static_cast<size_t>(last + 1));
  for (int32_t id = 0; id <= last; ++id) {
    const Vehicle& v = *vehicles.all()[id];
    EXPECT_EQ(v.id, id);
    EXPECT_TRUE(v.name.has_value()) << id;
    EXPECT_EQ(v.health, 100.0f) << id;
    EXPECT_EQ(v.driver, nullptr) << id;
    EXPECT_TRUE(v.passengers.empty()) << id;
  }
  EXPECT_EQ(vehicles.all()[0]->name, "Foot");
}

void expectNames(const VehicleManager& vehicles, const std::map<int32_t, std::string>& names) {
  for (const auto& [id, name] : names) {
    const Vehicle* v = vehicles.find(id);
    ASSERT_NE(v, nullptr) << id;
    EXPECT_EQ(v->name, name) << id;
  }
}

void expectAllAtOrigin(const VehicleManager& vehicles) {
  for (const auto& v : vehicles.all()) {
    EXPECT_EQ(v->spawnpoint.x, 0.0f) << v->id;
    EXPECT_EQ(v->spawnpoint.y, 0.0f) << v->id;
    EXPECT_EQ(v->spawnpoint.z, 0.0f) << v->id;
    EXPECT_EQ(v->position.x, 0.0f) << v->id;
    EXPECT_EQ(v->position.y, 0.0f) << v->id;
    EXPECT_EQ(v->position.z, 0.0f) << v->id;
  }
}

TEST(VehicleRostersTest, GameOneModeOne) {
  VehicleManager vehicles;
  build(vehicles, 1, 1);
  expectFreshRoster(vehicles, 48);
  expectAllAtOrigin(vehicles);
  expectNames(vehicles, {{1, "Cheetah"},
                         {8, "Mule"},
                         {9, "Cartel Cruiser"},
                         {16, "Bobcat"},
                         {25, "Mafia Sentinel"},
                         {31, "Firetruck"},
                         {37, "Esperanto"},
                         {45, "Kuruma"},
                         {48, "Stinger"}});
  EXPECT_EQ(vehicles.find(49), nullptr);
}

TEST(VehicleRostersTest, GameOneModeTwo) {
  VehicleManager vehicles;
  build(vehicles, 1, 2);
  expectFreshRoster(vehicles, 48);
  expectAllAtOrigin(vehicles);
  expectNames(vehicles, {{1, "Stretch"},
                         {8, "Borgnine"},
                         {10, "Panlantic"},
                         {15, "Yakuza"},
                         {35, "Perennial"},
                         {40, "Barracks"},
                         {48, "Sentinel"}});
}

TEST(VehicleRostersTest, GameOneModeThree) {
  VehicleManager vehicles;
  build(vehicles, 1, 3);
  expectFreshRoster(vehicles, 48);
  expectAllAtOrigin(vehicles);
  for (int32_t id = 1; id <= 8; ++id) EXPECT_EQ(vehicles.find(id)->name, "Cartel Cruiser") << id;
  for (int32_t id = 18; id <= 24; ++id) EXPECT_EQ(vehicles.find(id)->name, "Police") << id;
  expectNames(vehicles, {{9, "Hoods Rumpo XL"},
                         {15, "Sentinel"},
                         {16, "Hoods Rumpo XL"},
                         {17, "Securicar"},
                         {27, "Coach"},
                         {33, "Linerunner"},
                         {43, "Unknown"},
                         {48, "Landstalker"}});
}

TEST(VehicleRostersTest, GameTwoModeOneWithSpawnpoints) {
  VehicleManager vehicles;
  build(vehicles, 2, 1);
  expectFreshRoster(vehicles, 80);
  expectNames(vehicles, {{1, "Barracks"},
                         {3, "Cabbie"},
                         {20, "Sarbe"},
                         {25, "Pheonix"},
                         {35, "Mr. Whoopee"},
                         {52, "Pheonix"},
                         {80, "Sabre Turbo"}});

  struct Expected {
    int32_t id;
    float x, y, z;
  };
  const Expected expected[] = {
      {1, -1743.0f, -211.8f, 14.0f},   {3, 151.767f, -1526.207f, 9.997f},
      {14, -1285.7f, 1014.5f, 263.0f}, {15, -1299.5f, 1030.7f, 263.0f},
      {48, -67.9f, -1120.5f, 9.3f},    {77, 541.913f, 1253.249f, 15.595f},
      {80, 545.0f, 15.0f, 152.0f},
  };
  for (const Expected& e : expected) {
    const Vehicle* v = vehicles.find(e.id);
    ASSERT_NE(v, nullptr) << e.id;
    EXPECT_EQ(v->spawnpoint.x, e.x) << e.id;
    EXPECT_EQ(v->spawnpoint.y, e.y) << e.id;
    EXPECT_EQ(v->spawnpoint.z, e.z) << e.id;
    // A vehicle stands at its spawnpoint until a driver reports otherwise.
    EXPECT_EQ(v->position.x, e.x) << e.id;
    EXPECT_EQ(v->position.y, e.y) << e.id;
    EXPECT_EQ(v->position.z, e.z) << e.id;
  }

  const Vehicle* foot = vehicles.find(0);
  EXPECT_EQ(foot->spawnpoint.x, 0.0f);
  EXPECT_EQ(foot->spawnpoint.y, 0.0f);
  EXPECT_EQ(foot->spawnpoint.z, 0.0f);
  EXPECT_EQ(foot->position.x, 0.0f);
  EXPECT_EQ(vehicles.find(81), nullptr);
}

TEST(VehicleRostersTest, OtherPairsGiveFootAlone) {
  const std::pair<uint16_t, uint16_t> pairs[] = {{2, 2}, {2, 0}, {1, 0}, {1, 4},     {0, 0},
                                                 {0, 1}, {3, 1}, {3, 3}, {65535, 1}, {1, 257}};
  for (const auto& [code, mode] : pairs) {
    VehicleManager vehicles;
    vehicles.add(5, "stale");
    build(vehicles, code, mode);
    ASSERT_EQ(vehicles.size(), 1u) << code << "/" << mode;
    EXPECT_EQ(vehicles.all()[0]->id, 0);
    EXPECT_EQ(vehicles.all()[0]->name, "Foot");
    EXPECT_EQ(rosterFor(code, mode), nullptr);
  }
}

TEST(VehicleRostersTest, RebuildKeepsOnlyLatestRoster) {
  VehicleManager vehicles;
  build(vehicles, 2, 1);
  Player driver(1, "driver");
  vehicles.find(3)->health = 5.0f;
  vehicles.find(3)->driver = &driver;
  vehicles.find(3)->addPassenger(&driver);

  build(vehicles, 1, 1);
  expectFreshRoster(vehicles, 48);
  expectAllAtOrigin(vehicles);
  EXPECT_EQ(vehicles.find(49), nullptr);
  EXPECT_EQ(vehicles.find(3)->name, "Police");

  build(vehicles, 1, 1);
  expectFreshRoster(vehicles, 48);
}

}  // namespace
}  // namespace gsadmin
