#include "gamedata/vehicle_rosters.h"

#include <string>

namespace gsadmin {
namespace {

// Each roster lists its vehicles in id order, starting at id 1; the trailing
// comment is the id. Names repeat: every entry is a vehicle of its own.

constexpr RosterEntry kGame1Mode1[] = {
    {"Cheetah", 0.0f, 0.0f, 0.0f},         // 1
    {"Rumpo", 0.0f, 0.0f, 0.0f},           // 2
    {"Police", 0.0f, 0.0f, 0.0f},          // 3
    {"Stretch", 0.0f, 0.0f, 0.0f},         // 4
    {"Sentinel", 0.0f, 0.0f, 0.0f},        // 5
    {"Police", 0.0f, 0.0f, 0.0f},          // 6
    {"Stallion", 0.0f, 0.0f, 0.0f},        // 7
    {"Mule", 0.0f, 0.0f, 0.0f},            // 8
    {"Cartel Cruiser", 0.0f, 0.0f, 0.0f},  // 9
    {"BF Injection", 0.0f, 0.0f, 0.0f},    // 10
    {"Taxi", 0.0f, 0.0f, 0.0f},            // 11
    {"Dodo", 0.0f, 0.0f, 0.0f},            // 12
    {"Banshee", 0.0f, 0.0f, 0.0f},         // 13
    {"Sentinel", 0.0f, 0.0f, 0.0f},        // 14
    {"Infernus", 0.0f, 0.0f, 0.0f},        // 15
    {"Bobcat", 0.0f, 0.0f, 0.0f},          // 16
    {"Mule", 0.0f, 0.0f, 0.0f},            // 17
    {"Linerunner", 0.0f, 0.0f, 0.0f},      // 18
    {"Stinger", 0.0f, 0.0f, 0.0f},         // 19
    {"Blista", 0.0f, 0.0f, 0.0f},          // 20
    {"Ambulance", 0.0f, 0.0f, 0.0f},       // 21
    {"Idaho", 0.0f, 0.0f, 0.0f},           // 22
    {"Police", 0.0f, 0.0f, 0.0f},          // 23
    {"Stallion", 0.0f, 0.0f, 0.0f},        // 24
    {"Mafia Sentinel", 0.0f, 0.0f, 0.0f},  // 25
    {"Patriot", 0.0f, 0.0f, 0.0f},         // 26
    {"Mafia Sentinel", 0.0f, 0.0f, 0.0f},  // 27
    {"Mafia Sentinel", 0.0f, 0.0f, 0.0f},  // 28
    {"Bobcat", 0.0f, 0.0f, 0.0f},          // 29
    {"Landstalker", 0.0f, 0.0f, 0.0f},     // 30
    {"Firetruck", 0.0f, 0.0f, 0.0f},       // 31
    {"Taxi", 0.0f, 0.0f, 0.0f},            // 32
    {"Rumpo", 0.0f, 0.0f, 0.0f},           // 33
    {"Sentinel", 0.0f, 0.0f, 0.0f},        // 34
    {"Dodo", 0.0f, 0.0f, 0.0f},            // 35
    {"Landstalker", 0.0f, 0.0f, 0.0f},     // 36
    {"Esperanto", 0.0f, 0.0f, 0.0f},       // 37
    {"Taxi", 0.0f, 0.0f, 0.0f},            // 38
    {"Patriot", 0.0f, 0.0f, 0.0f},         // 39
    {"Blista", 0.0f, 0.0f, 0.0f},          // 40
    {"Dodo", 0.0f, 0.0f, 0.0f},            // 41
    {"Mule", 0.0f, 0.0f, 0.0f},            // 42
    {"Idaho", 0.0f, 0.0f, 0.0f},           // 43
    {"Banshee", 0.0f, 0.0f, 0.0f},         // 44
    {"Kuruma", 0.0f, 0.0f, 0.0f},          // 45
    {"Kuruma", 0.0f, 0.0f, 0.0f},          // 46
    {"Cheetah", 0.0f, 0.0f, 0.0f},         // 47
    {"Stinger", 0.0f, 0.0f, 0.0f},         // 48
};

constexpr RosterEntry kGame1Mode2[] = {
    {"Stretch", 0.0f, 0.0f, 0.0f},      // 1
    {"Police", 0.0f, 0.0f, 0.0f},       // 2
    {"Bobcat", 0.0f, 0.0f, 0.0f},       // 3
    {"Esperanto", 0.0f, 0.0f, 0.0f},    // 4
    {"Taxi", 0.0f, 0.0f, 0.0f},         // 5
    {"Stinger", 0.0f, 0.0f, 0.0f},      // 6
    {"Cheetah", 0.0f, 0.0f, 0.0f},      // 7
    {"Borgnine", 0.0f, 0.0f, 0.0f},     // 8
    {"Manana", 0.0f, 0.0f, 0.0f},       // 9
    {"Panlantic", 0.0f, 0.0f, 0.0f},    // 10
    {"Infernus", 0.0f, 0.0f, 0.0f},     // 11
    {"Manana", 0.0f, 0.0f, 0.0f},       // 12
    {"Kuruma", 0.0f, 0.0f, 0.0f},       // 13
    {"Landstalker", 0.0f, 0.0f, 0.0f},  // 14
    {"Yakuza", 0.0f, 0.0f, 0.0f},       // 15
    {"Yakuza", 0.0f, 0.0f, 0.0f},       // 16
    {"Taxi", 0.0f, 0.0f, 0.0f},         // 17
    {"Police", 0.0f, 0.0f, 0.0f},       // 18
    {"Blista", 0.0f, 0.0f, 0.0f},       // 19
    {"Stallion", 0.0f, 0.0f, 0.0f},     // 20
    {"Sentinel", 0.0f, 0.0f, 0.0f},     // 21
    {"Rumpo", 0.0f, 0.0f, 0.0f},        // 22
    {"Cheetah", 0.0f, 0.0f, 0.0f},      // 23
    {"Idaho", 0.0f, 0.0f, 0.0f},        // 24
    {"Stinger", 0.0f, 0.0f, 0.0f},      // 25
    {"Banshee", 0.0f, 0.0f, 0.0f},      // 26
    {"Patriot", 0.0f, 0.0f, 0.0f},      // 27
    {"Police", 0.0f, 0.0f, 0.0f},       // 28
    {"Kuruma", 0.0f, 0.0f, 0.0f},       // 29
    {"Landstalker", 0.0f, 0.0f, 0.0f},  // 30
    {"Rumpo", 0.0f, 0.0f, 0.0f},        // 31
    {"Infernus", 0.0f, 0.0f, 0.0f},     // 32
    {"Bobcat", 0.0f, 0.0f, 0.0f},       // 33
    {"Blista", 0.0f, 0.0f, 0.0f},       // 34
    {"Perennial", 0.0f, 0.0f, 0.0f},    // 35
    {"Stinger", 0.0f, 0.0f, 0.0f},      // 36
    {"Stallion", 0.0f, 0.0f, 0.0f},     // 37
    {"Banshee", 0.0f, 0.0f, 0.0f},      // 38
    {"Police", 0.0f, 0.0f, 0.0f},       // 39
    {"Barracks", 0.0f, 0.0f, 0.0f},     // 40
    {"Sentinel", 0.0f, 0.0f, 0.0f},     // 41
    {"Perennial", 0.0f, 0.0f, 0.0f},    // 42
    {"Esperanto", 0.0f, 0.0f, 0.0f},    // 43
    {"Taxi", 0.0f, 0.0f, 0.0f},         // 44
    {"Panlantic", 0.0f, 0.0f, 0.0f},    // 45
    {"Idaho", 0.0f, 0.0f, 0.0f},        // 46
    {"Yakuza", 0.0f, 0.0f, 0.0f},       // 47
    {"Sentinel", 0.0f, 0.0f, 0.0f},     // 48
};

constexpr RosterEntry kGame1Mode3[] = {
    {"Cartel Cruiser", 0.0f, 0.0f, 0.0f},  // 1
    {"Cartel Cruiser", 0.0f, 0.0f, 0.0f},  // 2
    {"Cartel Cruiser", 0.0f, 0.0f, 0.0f},  // 3
    {"Cartel Cruiser", 0.0f, 0.0f, 0.0f},  // 4
    {"Cartel Cruiser", 0.0f, 0.0f, 0.0f},  // 5
    {"Cartel Cruiser", 0.0f, 0.0f, 0.0f},  // 6
    {"Cartel Cruiser", 0.0f, 0.0f, 0.0f},  // 7
    {"Cartel Cruiser", 0.0f, 0.0f, 0.0f},  // 8
    {"Hoods Rumpo XL", 0.0f, 0.0f, 0.0f},  // 9
    {"Hoods Rumpo XL", 0.0f, 0.0f, 0.0f},  // 10
    {"Hoods Rumpo XL", 0.0f, 0.0f, 0.0f},  // 11
    {"Hoods Rumpo XL", 0.0f, 0.0f, 0.0f},  // 12
    {"Hoods Rumpo XL", 0.0f, 0.0f, 0.0f},  // 13
    {"Hoods Rumpo XL", 0.0f, 0.0f, 0.0f},  // 14
    {"Sentinel", 0.0f, 0.0f, 0.0f},        // 15
    {"Hoods Rumpo XL", 0.0f, 0.0f, 0.0f},  // 16
    {"Securicar", 0.0f, 0.0f, 0.0f},       // 17
    {"Police", 0.0f, 0.0f, 0.0f},          // 18
    {"Police", 0.0f, 0.0f, 0.0f},          // 19
    {"Police", 0.0f, 0.0f, 0.0f},          // 20
    {"Police", 0.0f, 0.0f, 0.0f},          // 21
    {"Police", 0.0f, 0.0f, 0.0f},          // 22
    {"Police", 0.0f, 0.0f, 0.0f},          // 23
    {"Police", 0.0f, 0.0f, 0.0f},          // 24
    {"Yakuza", 0.0f, 0.0f, 0.0f},          // 25
    {"Yakuza", 0.0f, 0.0f, 0.0f},          // 26
    {"Coach", 0.0f, 0.0f, 0.0f},           // 27
    {"Yakuza", 0.0f, 0.0f, 0.0f},          // 28
    {"Yakuza", 0.0f, 0.0f, 0.0f},          // 29
    {"Yakuza", 0.0f, 0.0f, 0.0f},          // 30
    {"Yakuza", 0.0f, 0.0f, 0.0f},          // 31
    {"Yakuza", 0.0f, 0.0f, 0.0f},          // 32
    {"Linerunner", 0.0f, 0.0f, 0.0f},      // 33
    {"Idaho", 0.0f, 0.0f, 0.0f},           // 34
    {"Stallion", 0.0f, 0.0f, 0.0f},        // 35
    {"Dodo", 0.0f, 0.0f, 0.0f},            // 36
    {"Dodo", 0.0f, 0.0f, 0.0f},            // 37
    {"BF Injection", 0.0f, 0.0f, 0.0f},    // 38
    {"Taxi", 0.0f, 0.0f, 0.0f},            // 39
    {"Borgnine", 0.0f, 0.0f, 0.0f},        // 40
    {"Esperanto", 0.0f, 0.0f, 0.0f},       // 41
    {"Dodo", 0.0f, 0.0f, 0.0f},            // 42
    {"Unknown", 0.0f, 0.0f, 0.0f},         // 43
    {"Cheetah", 0.0f, 0.0f, 0.0f},         // 44
    {"Bobcat", 0.0f, 0.0f, 0.0f},          // 45
    {"Patriot", 0.0f, 0.0f, 0.0f},         // 46
    {"Landstalker", 0.0f, 0.0f, 0.0f},     // 47
    {"Landstalker", 0.0f, 0.0f, 0.0f},     // 48
};

// Name, then spawnpoint x, y, z.
constexpr RosterEntry kGame2Mode1[] = {
    {"Barracks", -1743.0f, -211.8f, 14.0f},           // 1
    {"Banshee", 573.0f, 866.0f, 13.0f},               // 2
    {"Cabbie", 151.767f, -1526.207f, 9.997f},         // 3
    {"Sabre Turbo", -1021.5f, -870.0f, 12.0f},        // 4
    {"Cheetah", -831.6f, -902.0f, 10.1f},             // 5
    {"PCJ600", -465.0f, 1330.0f, 10.7f},              // 6
    {"Sanchez", 162.857f, -1508.879f, 10.03f},        // 7
    {"Taxi", -1191.3f, -335.0f, 9.45f},               // 8
    {"Manana", -1404.3f, -797.7f, 13.5f},             // 9
    {"PCJ600", 294.639f, 270.122f, 16.729f},          // 10
    {"Maverick", 375.8f, 332.9f, 11.5f},              // 11
    {"Police Maverick", -614.0f, 804.0f, 30.0f},      // 12
    {"Hunter", -1681.1f, -103.6f, 14.6f},             // 13
    {"Bloodring Banger", -1285.7f, 1014.5f, 263.0f},  // 14
    {"Bloodring Banger", -1299.5f, 1030.7f, 263.0f},  // 15
    {"Police", 497.9f, 502.9f, 10.3f},                // 16
    {"Enforcer", 488.8f, 525.3f, 10.3f},              // 17
    {"Admiral", -4.277f, -1204.872f, 9.482f},         // 18
    {"PCJ600", 301.391f, 1327.879f, 21.974f},         // 19
    {"Sarbe", -1004.0f, 330.0f, 10.2f},               // 20
    {"PCJ600", -6.4f, 957.0f, 9.3f},                  // 21
    {"PCJ600", -596.1f, 676.9f, 11.2f},               // 22
    {"FBI Rancher", -665.2f, 777.5f, 10.0f},          // 23
    {"Firetruck", -821.7f, 563.3f, 10.0f},            // 24
    {"Pheonix", 445.351f, 642.714f, 10.2f},           // 25
    {"Cuban Hermes", -1069.5f, -125.7f, 10.1f},       // 26
    {"Police Cheetah", -6.031f, -1232.052f, 9.482f},  // 27
    {"FBI Car", 17.647f, -1244.059f, 9.482f},         // 28
    {"Cheetah", 521.5f, 114.4f, 10.0f},               // 29
    {"Comet", 242.6f, -1274.5f, 10.0f},               // 30
    {"Infernus", 365.2f, -837.9f, 11.0f},             // 31
    {"Mesa Grande", -515.6f, 1129.3f, 10.0f},         // 32
    {"Stinger", 81.3f, -871.7f, 9.6f},                // 33
    {"Securicar", -870.2f, -353.9f, 10.0f},           // 34
    {"Mr. Whoopee", -867.6f, -572.2f, 10.1f},         // 35
    {"Virgo", -659.4f, -1388.3f, 9.7f},               // 36
    {"Cheetah", -1064.3f, -466.0f, 10.0f},            // 37
    {"Bobcat", -980.0f, -681.0f, 10.7f},              // 38
    {"Banshee", 213.2f, -491.9f, 10.5f},              // 39
    {"Police", 355.7f, -511.3f, 11.6f},               // 40
    {"Police", -665.2f, 788.5f, 10.4f},               // 41
    {"Love Fist", -865.2f, 1158.3f, 9.7f},            // 42
    {"Deluxo", -758.6f, 113.8f, 9.8f},                // 43
    {"Pizza Boy", 195.2f, -1029.3f, 9.0f},            // 44
    {"BF Injection", -654.6f, 1391.7f, 11.0f},        // 45
    {"Sentinel XS", -466.7f, 872.4f, 10.0f},          // 46
    {"Idaho", -853.7f, -110.8f, 10.0f},               // 47
    {"Sentinel XS", -67.9f, -1120.5f, 9.3f},          // 48
    {"Cabbie", -947.7f, -1264.1f, 10.9f},             // 49
    {"Sparrow", -391.0f, -573.0f, 39.5f},             // 50
    {"Freeway", 497.6f, -87.7f, 8.5f},                // 51
    {"Pheonix", -877.2f, 755.1f, 10.1f},              // 52
    {"Enforcer", 364.4f, -518.2f, 11.3f},             // 53
    {"Gang Burrito", -1096.0f, 333.2f, 10.3f},        // 54
    {"Patriot", -1100.8f, 299.4f, 11.3f},             // 55
    {"Washington", -1071.9f, 309.2f, 10.3f},          // 56
    {"PCJ600", -1060.3f, 347.2f, 10.3f},              // 57
    {"Enforcer", -851.3f, -666.6f, 10.2f},            // 58
    {"Perennial", -965.0f, 133.5f, 8.2f},             // 59
    {"Mesa Grande", -1466.4f, -809.0f, 13.4f},        // 60
    {"Rancher", -1445.3f, -834.1f, 13.5f},            // 61
    {"Stinger", -1425.0f, -822.6f, 13.5f},            // 62
    {"Walton", -1434.5f, -788.7f, 13.5f},             // 63
    {"Sandking", -772.6f, 1031.8f, 10.0f},            // 64
    {"Sanchez", -677.3f, -1259.0f, 15.3f},            // 65
    {"Idaho", -713.5f, -1267.4f, 10.0f},              // 66
    {"Sentinel XS", -687.3f, -1303.8f, 10.0f},        // 67
    {"Police", -844.3f, -679.6f, 10.2f},              // 68
    {"Banshee", 261.6f, 1288.8f, 16.1f},              // 69
    {"Idaho", 279.0f, -846.6f, 9.0f},                 // 70
    {"Infernus", 262.1f, -249.5f, 10.3f},             // 71
    {"Deluxo", 237.2f, -227.2f, 10.5f},               // 72
    {"Stinger", -357.5f, -533.7f, 11.5f},             // 73
    {"BF Injection", 409.653f, 632.272f, 10.437f},    // 74
    {"Comet", 343.8f, 270.3f, 10.2f},                 // 75
    {"Caddy", 109.0f, 284.2f, 20.7f},                 // 76
    {"Admiral", 541.913f, 1253.249f, 15.595f},        // 77
    {"Admiral", -1085.0f, 114.0f, 10.2f},             // 78
    {"Rancher", 430.3f, 957.0f, 12.2f},               // 79
    {"Sabre Turbo", 545.0f, 15.0f, 152.0f},           // 80
};

constexpr Roster kRosters[] = {
    {1, 1, false, kGame1Mode1},
    {1, 2, false, kGame1Mode2},
    {1, 3, false, kGame1Mode3},
    {2, 1, true, kGame2Mode1},
};

}  // namespace

const Roster* rosterFor(uint16_t gameCode, uint16_t gameMode) {
  for (const Roster& roster : kRosters) {
    if (roster.gameCode == gameCode && roster.gameMode == gameMode) return &roster;
  }
  return nullptr;
}

}  // namespace gsadmin
