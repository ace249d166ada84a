// The player, vehicle and weapon queries, called from Lua against a model
// set up directly.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "model/game_tables.h"
#include "script/api_test_script.h"

namespace gsadmin {
namespace {

using testing::ApiScript;
using testing::BareApiState;

constexpr const char* kPlayerQueries[] = {
    "getPlayerName",   "getPlayerKills",   "getPlayerDeaths",   "getPlayerHealth",
    "getPlayerStatus", "getPlayerVehicle", "getPlayerPosition",
};
constexpr const char* kVehicleQueries[] = {
    "getVehicleName",       "getVehicleHealth", "getVehiclePosition",
    "getVehicleSpawnpoint", "getVehicleDriver",
};

// A number as a script prints it.
std::string luaText(double value) {
  char text[64];
  std::snprintf(text, sizeof(text), "%.14g", value);
  return text;
}

// The roster and weapons of game code 2, mode 1 (a roster with spawnpoints).
void buildGame2(AdminSession& session) {
  ServerInfo& info = session.serverInfo();
  info.gameCode = 2;
  info.gameMode = 1;
  buildWeaponTable(info, session.weapons());
  buildVehicleRoster(info, session.vehicles());
}

TEST(ApiPlayerQueriesTest, DiagnosticsInTheOrderOfTheChecks) {
  ApiScript s;
  s.session().players().add(5, "Bob");
  for (const char* name : kPlayerQueries) {
    std::string f = name;
    std::string invalid = f == "getPlayerDeaths" ? "getPlayerDeath" : f;
    EXPECT_EQ(s.run("show(" + f + "())\nshow(" + f + "({}))\nshow(" + f + "('abc'))\n"),
              invalid + ": Invalid Argument #1.\n\n" + invalid + ": Invalid Argument #1.\n\n" +
                  invalid + ": Invalid Argument #1.\n\n");
    EXPECT_EQ(s.run("show(" + f + "(6))\n"), f + ": No such player.\n\n");
  }
  EXPECT_EQ(s.runWithoutSession("show(getPlayerName({}))\nshow(getPlayerName(5))\n"),
            "getPlayerName: Invalid Argument #1.\n\ngetPlayerName: PlayerManager missing.\n\n");
  for (const char* name : kPlayerQueries) {
    std::string f = name;
    EXPECT_EQ(s.runWithoutSession("show(" + f + "(5))\n"), f + ": PlayerManager missing.\n\n");
  }
}

TEST(ApiPlayerQueriesTest, BeforeAnyPlayerIsKnownEveryQueryFindsNone) {
  ApiScript s;
  for (const char* name : kPlayerQueries) {
    std::string f = name;
    EXPECT_EQ(s.run("show(" + f + "(0))\n"), f + ": No such player.\n\n");
  }
}

TEST(ApiPlayerQueriesTest, IdsAreTruncatedAndTakenModulo256) {
  ApiScript s;
  s.session().players().add(0, "Zero");
  s.session().players().add(5, "Bob");
  s.session().players().add(255, "Max");
  EXPECT_EQ(s.run("show(getPlayerName(5), getPlayerName(5.9), getPlayerName(261),"
                  " getPlayerName('5'), getPlayerName(' 5 '), getPlayerName('0x5'))\n"
                  "show(getPlayerName(-1), getPlayerName(-0.5), getPlayerName(2147483647),"
                  " getPlayerName(-2147483648))\n"),
            "Bob,Bob,Bob,Bob,Bob,Bob\nMax,Zero,Max,Zero\n");
  // Beyond the 32-bit signed range, and NaN, no player is named.
  for (const char* id : {"2147483648", "-2147483649", "0/0", "math.huge", "-math.huge", "1e300"}) {
    EXPECT_EQ(s.run("show(getPlayerName(" + std::string(id) + "))\n"),
              "getPlayerName: No such player.\n\n")
        << id;
  }
}

TEST(ApiPlayerQueriesTest, ResultsOfAKnownPlayer) {
  ApiScript s;
  Player& bob = s.session().players().add(5, "Bob");
  EXPECT_EQ(s.run("show(getPlayerName(5), getPlayerKills(5), getPlayerDeaths(5),"
                  " getPlayerHealth(5), getPlayerStatus(5), getPlayerVehicle(5))\n"
                  "show(getPlayerPosition(5))\n"),
            "Bob,0,0,100,1,nil\n0,0,0\n");

  bob.kills = 65535;
  bob.deaths = 7;
  bob.status = 0x1FF;  // only the low 8 bits are the code
  bob.health = 99.9f;
  bob.position = Position{-831.6f, -902.0f, 10.1f};
  EXPECT_EQ(s.run("show(getPlayerKills(5), getPlayerDeaths(5), getPlayerStatus(5),"
                  " getPlayerHealth(5))\n"
                  "show(getPlayerPosition(5))\n"),
            "65535,7,255,99\n-831,-902,10\n");

  // Truncation toward zero, defined for every float.
  struct {
    float health;
    const char* shown;
  } cases[] = {
      {-0.5f, "0"}, {-7.9f, "-7"}, {NAN, "0"}, {1e20f, "2147483647"}, {-INFINITY, "-2147483648"}};
  for (const auto& c : cases) {
    bob.health = c.health;
    EXPECT_EQ(s.run("show(getPlayerHealth(5))\n"), std::string(c.shown) + "\n") << c.health;
  }
}

TEST(ApiPlayerQueriesTest, VehicleOfAPlayerIsLiveOrNil) {
  ApiScript s;
  buildGame2(s.session());
  Player& bob = s.session().players().add(5, "Bob");
  bob.vehicle = s.session().vehicles().find(3);
  EXPECT_EQ(s.run("show(getPlayerVehicle(5))\n"), "3\n");
  // A roster rebuild destroys the vehicle; the player no longer names it.
  buildGame2(s.session());
  EXPECT_EQ(s.run("show(getPlayerVehicle(5))\n"), "nil\n");
}

TEST(ApiVehicleQueriesTest, DiagnosticsInTheOrderOfTheChecks) {
  ApiScript s;
  // Nothing is found before a roster is built.
  for (const char* name : kVehicleQueries) {
    std::string f = name;
    EXPECT_EQ(s.run("show(" + f + "())\nshow(" + f + "({}))\nshow(" + f + "(0))\n"),
              f + ": Invalid Parameters\n\n" + f + ": Invalid Parameters\n\n" + f +
                  ": Invalid Vehicle.\n\n");
  }
  buildGame2(s.session());
  EXPECT_EQ(s.run("show(getVehicleName(200))\nshow(getVehicleName(0/0))\n"),
            "getVehicleName: Invalid Vehicle.\n\ngetVehicleName: Invalid Vehicle.\n\n");
  EXPECT_EQ(s.runWithoutSession("show(getVehicleName(true))\n"),
            "getVehicleName: Invalid Parameters\n\n");
  for (const char* name : kVehicleQueries) {
    std::string f = name;
    EXPECT_EQ(s.runWithoutSession("show(" + f + "(1))\n"), f + ": VehicleManager missing.\n\n");
  }
}

TEST(ApiVehicleQueriesTest, ResultsOfARosterVehicle) {
  ApiScript s;
  buildGame2(s.session());
  EXPECT_EQ(s.run("show(getVehicleName(0), getVehicleName(1), getVehicleName(257),"
                  " getVehicleName('2'), getVehicleHealth(1), getVehicleDriver(1))\n"),
            "Foot,Barracks,Barracks,Banshee,100,nil\n");

  // Positions as stored, fractions included; player positions truncate.
  Vehicle& car = *s.session().vehicles().find(1);
  car.position = Position{-831.6f, -902.0f, 10.1f};
  s.session().players().add(5, "Bob").position = car.position;
  EXPECT_EQ(s.run("show(getVehiclePosition(1))\nshow(getPlayerPosition(5))\n"),
            luaText(-831.6f) + ",-902," + luaText(10.1f) + "\n-831,-902,10\n");
  EXPECT_EQ(s.run("show(getVehicleSpawnpoint(1))\n"), "-1743," + luaText(-211.8f) + ",14\n");

  car.health = 250.7f;
  EXPECT_EQ(s.run("show(getVehicleHealth(1))\n"), "250\n");
  car.health = -0.5f;
  EXPECT_EQ(s.run("show(getVehicleHealth(1))\n"), "0\n");
  car.health = NAN;
  EXPECT_EQ(s.run("show(getVehicleHealth(1))\n"), "0\n");

  Player& ann = s.session().players().add(7, "Ann");
  car.driver = &ann;
  EXPECT_EQ(s.run("show(getVehicleDriver(1))\n"), "7\n");
  // The driver quits: the vehicle no longer names the destroyed record.
  s.session().players().remove(ann);
  EXPECT_EQ(s.run("show(getVehicleDriver(1))\n"), "nil\n");
}

TEST(ApiVehicleQueriesTest, RosterWithoutSpawnpointsGivesZeros) {
  ApiScript s;
  ServerInfo& info = s.session().serverInfo();
  info.gameCode = 1;
  info.gameMode = 1;
  buildVehicleRoster(info, s.session().vehicles());
  EXPECT_EQ(s.run("show(getVehicleName(1))\nshow(getVehicleSpawnpoint(1))\n"
                  "show(getVehiclePosition(1))\n"),
            "Cheetah\n0,0,0\n0,0,0\n");
}

TEST(ApiVehicleQueriesTest, IsPassengerChecksInOrderAndComparesRecords) {
  ApiScript s;
  EXPECT_EQ(s.run("show(getVehicleIsPassenger(1))\n"
                  "show(getVehicleIsPassenger(1, 'x'))\n"
                  "show(getVehicleIsPassenger({}, 1))\n"
                  "show(getVehicleIsPassenger(1, 5))\n"),
            "getVehicleIsPassenger: Invalid Parameters\n\n"
            "getVehicleIsPassenger: Invalid Parameters\n\n"
            "getVehicleIsPassenger: Invalid Parameters\n\n"
            "getVehicleIsPassenger: Invalid Vehicle.\n\n");
  buildGame2(s.session());
  EXPECT_EQ(s.run("show(getVehicleIsPassenger(1, 5))\n"),
            "getVehicleIsPassenger: No such player.\n\n");

  Player& bob = s.session().players().add(5, "Bob");
  s.session().players().add(6, "Ann");
  Vehicle& car = *s.session().vehicles().find(1);
  EXPECT_EQ(s.run("show(getVehicleIsPassenger(1, 5))\n"), "false\n");
  car.addPassenger(&bob);
  EXPECT_EQ(s.run("show(getVehicleIsPassenger(1, 5), getVehicleIsPassenger(257, 261.5),"
                  " getVehicleIsPassenger(1, 6), getVehicleIsPassenger(2, 5))\n"),
            "true,true,false,false\n");
  // Taking the wheel takes the player out of the passengers.
  car.removePassenger(&bob);
  car.driver = &bob;
  EXPECT_EQ(s.run("show(getVehicleIsPassenger(1, 5))\n"), "false\n");

  EXPECT_EQ(s.runWithoutSession("show(getVehicleIsPassenger(1, 5))\n"),
            "getVehicleIsPassenger: VehicleManager missing.\n\n");
}

TEST(ApiWeaponQueriesTest, NamesOfTheServersGame) {
  ApiScript s;
  EXPECT_EQ(s.run("show(getWeaponName(0))\n"), "getWeaponName: Invalid Weapon.\n\n");
  ServerInfo& info = s.session().serverInfo();
  info.gameCode = 1;
  buildWeaponTable(info, s.session().weapons());
  EXPECT_EQ(s.run("show(getWeaponName(5), getWeaponName(261), getWeaponName(5.5),"
                  " getWeaponName('16'))\n"),
            "AK47,AK47,AK47,Vehicle\n");
  EXPECT_EQ(s.run("show(getWeaponName(14))\nshow(getWeaponName(0/0))\nshow(getWeaponName())\n"
                  "show(getWeaponName('knife'))\n"),
            "getWeaponName: Invalid Weapon.\n\n"
            "getWeaponName: Invalid Weapon.\n\n"
            "getWeaponName: Invalid Parameters\n\n"
            "getWeaponName: Invalid Parameters\n\n");
  EXPECT_EQ(s.runWithoutSession("show(getWeaponName(5))\n"),
            "getWeaponName: WeaponManager missing.\n\n");
}

TEST(ApiQueriesTest, NoQueryRaisesOrLeavesValuesBehindWithoutASession) {
  BareApiState lua;
  std::string out = lua.run(
      "local names = {'getPlayerName', 'getPlayerKills', 'getPlayerDeaths', 'getPlayerHealth',\n"
      "  'getPlayerStatus', 'getPlayerVehicle', 'getPlayerPosition', 'getVehicleName',\n"
      "  'getVehicleHealth', 'getVehiclePosition', 'getVehicleSpawnpoint', 'getVehicleDriver',\n"
      "  'getVehicleIsPassenger', 'getWeaponName'}\n"
      "local n = 0\n"
      "for _, name in ipairs(names) do n = n + select('#', _G[name](1, 1)) end\n"
      "print('values', n)\n");
  EXPECT_EQ(out.substr(out.rfind("values")), "values\t0\n");
  EXPECT_EQ(out.find("LUA ERROR"), std::string::npos);
}

}  // namespace
}  // namespace gsadmin
