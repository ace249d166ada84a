#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "gamedata/weapon_tables.h"
#include "model/game_tables.h"

namespace gsadmin {
namespace {

using Table = std::vector<std::pair<int, std::string>>;

Table built(uint16_t gameCode, WeaponManager& weapons) {
  ServerInfo info;
  info.gameCode = gameCode;
  buildWeaponTable(info, weapons);
  Table table;
  for (const auto& weapon : weapons.all()) table.emplace_back(weapon->id, weapon->name.value());
  return table;
}

const Table kGame1 = {
    {0, "Punch/Kick"},      {1, "Baseball Bat"}, {2, "Colt45"},   {3, "Uzi"},
    {4, "Shotgun"},         {5, "AK47"},         {6, "M16"},      {7, "Sniper"},
    {8, "Rocket Launcher"}, {9, "Fire"},         {10, "Molotov"}, {11, "Grenade"},
    {12, "Bomb"},           {13, "Heli Cannon"}, {16, "Vehicle"}, {18, "Explosion"},
    {20, "Drowned"},
};

const Table kGame2 = {
    {0, "Punch/Kick"},
    {1, "Brass Knuckle"},
    {2, "Screwdriver"},
    {3, "Golf Club"},
    {4, "NightStick"},
    {5, "Knife"},
    {6, "Baseball Bat"},
    {7, "Hammer"},
    {8, "Cleaver"},
    {9, "Machete"},
    {10, "Katana"},
    {11, "Chainsaw"},
    {12, "Grenade"},
    {14, "Tear Gas"},
    {15, "Molotov"},
    {16, "Rocket"},
    {17, "Colt45"},
    {18, "Python"},
    {19, "Shotgun"},
    {20, "Spas 12 Shotgun"},
    {21, "Stubby Shotgun"},
    {22, "Tec9"},
    {23, "Uzi"},
    {24, "Silenced Ingram"},
    {25, "MP5"},
    {26, "M4"},
    {27, "Ruger"},
    {28, "Sniper"},
    {29, "Laser Sniper"},
    {30, "Rocket Launcher"},
    {31, "Fire"},
    {32, "M60"},
    {33, "Minigun"},
    {34, "Bomb"},
    {35, "Heli Cannon"},
    {37, "Camera"},
    {39, "Vehicle"},
    {41, "Explosion"},
    {43, "Drowned"},
};

TEST(WeaponTablesTest, GameOneTable) {
  WeaponManager weapons;
  EXPECT_EQ(built(1, weapons), kGame1);
  ASSERT_EQ(weapons.size(), 17u);
  for (int absent : {14, 15, 17, 19, 21, 255}) {
    EXPECT_EQ(weapons.find(absent), nullptr) << absent;
  }
}

TEST(WeaponTablesTest, GameTwoTable) {
  WeaponManager weapons;
  EXPECT_EQ(built(2, weapons), kGame2);
  ASSERT_EQ(weapons.size(), 39u);
  for (int absent : {13, 36, 38, 40, 42, 44, 255}) {
    EXPECT_EQ(weapons.find(absent), nullptr) << absent;
  }
}

TEST(WeaponTablesTest, UnknownGameCodeLeavesTableEmpty) {
  for (uint16_t code : {0, 3, 255, 256, 65535}) {
    WeaponManager weapons;
    weapons.add(0, "stale");
    EXPECT_TRUE(built(code, weapons).empty()) << code;
    EXPECT_TRUE(weaponTableFor(code).empty()) << code;
  }
}

TEST(WeaponTablesTest, RebuildKeepsOnlyLatestTable) {
  WeaponManager weapons;
  built(2, weapons);
  EXPECT_EQ(built(1, weapons), kGame1);
  EXPECT_EQ(weapons.find(43), nullptr);  // game 2's "Drowned" is gone
  EXPECT_EQ(built(1, weapons), kGame1);  // no duplicates
  EXPECT_EQ(built(2, weapons), kGame2);
}

}  // namespace
}  // namespace gsadmin
