// The account a request carries across the fleet: written by one panel,
// read by another server's client as the actor it acts as there.

#include "panel/fleet_desk.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace gsadmin {
namespace {

WebLogin login(std::shared_ptr<const ActGrants> grants = nullptr) {
  WebLogin login;
  login.name = "alice";
  login.level = kAdminLevel;
  login.grants = std::move(grants);
  return login;
}

TEST(FleetDeskTest, TheAccountActsAsItselfFromItsServer) {
  std::optional<Actor> actor = FleetDesk::actorOf(FleetDesk::actorText(login()), "alpha", "beta");
  ASSERT_TRUE(actor);
  EXPECT_EQ(actor->kind, Actor::Kind::kPanel);
  EXPECT_EQ(actor->level, kAdminLevel);
  EXPECT_EQ(actor->label(), "panel:alice from alpha");
  EXPECT_EQ(actor->grants, nullptr);
}

TEST(FleetDeskTest, ARoleKeepsItsActsOnlyOnTheServersItReaches) {
  auto role = std::make_shared<ActGrants>(ActGrants{"mods", {"kick", "warn"}, 3600, {"beta"}});
  std::optional<Actor> there = FleetDesk::actorOf(FleetDesk::actorText(login(role)), "a", "beta");
  ASSERT_TRUE(there && there->grants);
  EXPECT_TRUE(there->grants->allows("kick"));
  EXPECT_EQ(there->grants->maxTempbanSeconds, 3600);
  std::optional<Actor> elsewhere =
      FleetDesk::actorOf(FleetDesk::actorText(login(role)), "a", "gamma");
  ASSERT_TRUE(elsewhere && elsewhere->grants);
  EXPECT_FALSE(elsewhere->grants->allows("kick"));
  EXPECT_EQ(elsewhere->grants->role, "mods");
}

TEST(FleetDeskTest, AnAccountOfTheWrongShapeActsAsNobody) {
  for (const char* text : {"", "[]", "{\"name\":\"alice\"}", "{\"name\":3,\"level\":4}",
                           "{\"name\":\"a\",\"level\":4,\"role\":{\"acts\":7}}"}) {
    EXPECT_FALSE(FleetDesk::actorOf(text, "alpha", "beta")) << text;
  }
}

TEST(FleetDeskTest, AWaitEndsWithTheAnswerOrEmptyAtItsTimeout) {
  FleetWait wait;
  EXPECT_FALSE(wait.waitFor(std::chrono::milliseconds(1)));
  std::thread giver([&wait]() { wait.give({"done", "kick done on beta"}); });
  std::optional<FleetAnswer> answer = wait.waitFor(std::chrono::seconds(10));
  giver.join();
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->answer, "kick done on beta");
}

}  // namespace
}  // namespace gsadmin
