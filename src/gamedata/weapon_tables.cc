#include "gamedata/weapon_tables.h"

#include <string>

namespace gsadmin {
namespace {

// Game code 1. "Vehicle", "Explosion" and "Drowned" are causes of death at
// base 16, base + 2 and base + 4.
constexpr WeaponEntry kGame1Weapons[] = {
    {0, "Punch/Kick"},      {1, "Baseball Bat"}, {2, "Colt45"},   {3, "Uzi"},
    {4, "Shotgun"},         {5, "AK47"},         {6, "M16"},      {7, "Sniper"},
    {8, "Rocket Launcher"}, {9, "Fire"},         {10, "Molotov"}, {11, "Grenade"},
    {12, "Bomb"},           {13, "Heli Cannon"}, {16, "Vehicle"}, {18, "Explosion"},
    {20, "Drowned"},
};

// Game code 2. Causes of death at base 39, base + 2 and base + 4.
constexpr WeaponEntry kGame2Weapons[] = {
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

}  // namespace

std::span<const WeaponEntry> weaponTableFor(uint16_t gameCode) {
  switch (gameCode) {
    case 1:
      return kGame1Weapons;
    case 2:
      return kGame2Weapons;
    default:
      return {};
  }
}

}  // namespace gsadmin
