// Death reports (id 11), with player 4 "Ann" and player 7 "Bo".

#include "protocol/death_messages.h"

#include <gtest/gtest.h>

#include "protocol/inbound_test_script.h"

namespace gsadmin::testing {
namespace {

TEST(DeathTest, KillByAnotherPlayerCountsBoth) {
  InboundFixture f;
  EXPECT_EQ(f.deliver(deathReport(4, 7, 30)), "Bo killed Ann (Rocket Launcher)\n");
  EXPECT_EQ(f.player(7)->kills, 1);
  EXPECT_EQ(f.player(4)->deaths, 1);
  EXPECT_EQ(f.player(7)->deaths, 0);
  EXPECT_EQ(f.deliver(deathReport(4, 7, 13)), "Bo killed Ann\n");  // 13: not a weapon here
}

TEST(DeathTest, SuicideAdminAndNoKiller) {
  InboundFixture f;
  EXPECT_EQ(f.deliver(deathReport(4, 4, 12)), "Ann killed himself (Grenade)\n");
  EXPECT_EQ(f.deliver(deathReport(4, 4, 13)), "Ann killed himself\n");
  EXPECT_EQ(f.player(4)->kills, 0);
  EXPECT_EQ(f.deliver(deathReport(4, 100, 30)), "Ann killed by Admin\n");
  EXPECT_EQ(f.deliver(deathReport(4, 255, 43)), "Ann drowned\n");
  EXPECT_EQ(f.deliver(deathReport(4, 255, 30)), "Ann died (Rocket Launcher)\n");
  EXPECT_EQ(f.deliver(deathReport(4, 255, 13)), "Ann died\n");
  EXPECT_EQ(f.deliver(deathReport(4, 9, 30)), "Ann died (Rocket Launcher)\n");  // no player 9
  EXPECT_EQ(f.player(4)->deaths, 7);
  EXPECT_EQ(f.player(7)->kills, 0);
}

TEST(DeathTest, AdminMarkerWinsOverAPlayerWithId100) {
  InboundFixture f;
  f.harness.deliver(playerJoined(100, "Hundred"));
  f.harness.output();
  EXPECT_EQ(f.deliver(deathReport(4, 100, 30)), "Ann killed by Admin\n");
  EXPECT_EQ(f.player(100)->kills, 0);
}

TEST(DeathTest, GameCodeOneNamesItsOwnWeapons) {
  SessionHarness harness;
  ServerRecord record;
  record.gameCode = 1;
  record.gameMode = 1;
  harness.connect(record, {{4, "Ann"}, {7, "Bo"}});
  harness.output();
  harness.deliver(deathReport(4, 255, 20));
  EXPECT_EQ(harness.output(), "Ann died (Drowned)\n");
  harness.deliver(deathReport(4, 255, 43));
  EXPECT_EQ(harness.output(), "Ann died\n");
  harness.deliver(deathReport(4, 7, 2));
  EXPECT_EQ(harness.output(), "Bo killed Ann (Colt45)\n");
}

TEST(DeathTest, UnknownVictimAndShortBodies) {
  InboundFixture f;
  EXPECT_EQ(f.deliver(deathReport(9, 7, 30)), "");
  EXPECT_EQ(f.player(7)->kills, 0);
  // Killer 0 is nobody here, and weapon 0 is a weapon.
  EXPECT_EQ(f.deliver(Datagram{11, 4}), "Ann died (Punch/Kick)\n");
  EXPECT_EQ(f.deliver(Datagram{11, 4, 255}), "Ann died (Punch/Kick)\n");
  EXPECT_EQ(f.player(4)->deaths, 2);
}

TEST(DeathTest, CountersWrapAt65535) {
  InboundFixture f;
  f.player(4)->deaths = 65535;
  f.player(7)->kills = 65535;
  f.deliver(deathReport(4, 7, 30));
  EXPECT_EQ(f.player(4)->deaths, 0);
  EXPECT_EQ(f.player(7)->kills, 0);
}

TEST(DeathTest, NamesArePrintedSafely) {
  InboundFixture f;
  f.harness.deliver(playerJoined(9, "\x1b[1mX"));
  f.harness.output();
  EXPECT_EQ(f.deliver(deathReport(9, 4, 30)), "Ann killed ?[1mX (Rocket Launcher)\n");
}

// "onPlayerDeath" after the line, with the counters already changed, for
// each kind of killer: a player, the victim, nobody, an unknown id, the admin.
TEST(DeathTest, OnPlayerDeathFollowsTheLineForEachKillerKind) {
  InboundFixture f(
      "function died(victim, killer, weapon)\n"
      "  print(table.concat({'death', victim, killer, weapon, getPlayerDeaths(victim)}, ' '))\n"
      "end\n"
      "addEventHandler('onPlayerDeath', 'died')\n");
  struct Case {
    Datagram report;
    const char* output;
  };
  const Case cases[] = {
      {deathReport(4, 7, 30), "Bo killed Ann (Rocket Launcher)\ndeath 4 7 30 1\n"},
      {deathReport(4, 4, 12), "Ann killed himself (Grenade)\ndeath 4 4 12 2\n"},
      {deathReport(4, 255, 43), "Ann drowned\ndeath 4 -1 43 3\n"},
      {deathReport(4, 9, 13), "Ann died\ndeath 4 -1 13 4\n"},
      {deathReport(4, 100, 30), "Ann killed by Admin\ndeath 4 -2 30 5\n"},
      {deathReport(9, 7, 30), ""},  // unknown victim: no line, no event
  };
  for (const Case& c : cases) EXPECT_EQ(f.deliver(c.report), c.output);
}

}  // namespace
}  // namespace gsadmin::testing
