// Position, health and vehicle updates (id 10), with player 4 "Ann" and
// player 7 "Bo" under the roster of game code 2 / mode 1.

#include "protocol/position_messages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "protocol/inbound_test_script.h"

namespace gsadmin::testing {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(PositionUpdateTest, OnFootMovesThePlayerAndReportsHealthChanges) {
  InboundFixture f;
  EXPECT_EQ(f.deliver(positionUpdate(4, 0, 100.0f, 1.5f, -2.5f, 3.0f)),
            "onPlayerPositionChange 4\n");
  EXPECT_EQ(f.player(4)->position.x, 1.5f);
  EXPECT_EQ(f.player(4)->position.y, -2.5f);
  EXPECT_EQ(f.deliver(positionUpdate(4, 0, 99.5f)),
            "onPlayerPositionChange 4\nonPlayerHealthChange 4 99 100\n");
  EXPECT_EQ(f.player(4)->health, 99.5f);
  f.deliver(positionUpdate(4, 0, 99.7f));
  EXPECT_EQ(f.deliver(positionUpdate(4, 0, 99.2f)),
            "onPlayerPositionChange 4\nonPlayerHealthChange 4 99 99\n");
  EXPECT_EQ(f.deliver(positionUpdate(4, 0, -0.5f)),
            "onPlayerPositionChange 4\nonPlayerHealthChange 4 0 99\n");
}

TEST(PositionUpdateTest, StoredHealthIsNewDuringTheHealthEvent) {
  InboundFixture f(
      "addEventHandler('onPlayerHealthChange', 'hurt')\n"
      "function hurt(id) print('now', getPlayerHealth(id)) end\n");
  EXPECT_EQ(f.deliver(positionUpdate(4, 0, 42.9f)),
            "onPlayerPositionChange 4\nonPlayerHealthChange 4 42 100\nnow\t42\n");
}

TEST(PositionUpdateTest, NaNAndHugeHealthsConvertSafely) {
  InboundFixture f;
  EXPECT_EQ(f.deliver(positionUpdate(4, 0, kNaN)),
            "onPlayerPositionChange 4\nonPlayerHealthChange 4 0 100\n");
  // NaN never equals itself: every NaN update counts as a change.
  EXPECT_EQ(f.deliver(positionUpdate(4, 0, kNaN)),
            "onPlayerPositionChange 4\nonPlayerHealthChange 4 0 0\n");
  EXPECT_EQ(f.deliver(positionUpdate(4, 0, 1e30f)),
            "onPlayerPositionChange 4\nonPlayerHealthChange 4 2147483647 0\n");
  EXPECT_EQ(f.deliver(positionUpdate(4, 0, -INFINITY)),
            "onPlayerPositionChange 4\nonPlayerHealthChange 4 -2147483648 2147483647\n");
  EXPECT_EQ(f.deliver(positionUpdate(7, 5, kNaN)),
            "onPlayerPositionChange 7\nonVehicleHealthChange 5 0\nonPlayerVehicleEnter 7 5\n");
}

TEST(PositionUpdateTest, DriverEntersOnceAndReportsVehicleHealthEveryTime) {
  InboundFixture f;
  EXPECT_EQ(f.deliver(positionUpdate(4, 5, 80.9f, 10, 20, 30)),
            "onPlayerPositionChange 4\nonVehicleHealthChange 5 80\nonPlayerVehicleEnter 4 5\n");
  EXPECT_EQ(f.deliver(positionUpdate(4, 5, 80.9f, 11, 21, 31)),
            "onPlayerPositionChange 4\nonVehicleHealthChange 5 80\n");
  Vehicle* cheetah = f.vehicle(5);
  EXPECT_EQ(cheetah->driver, f.player(4));
  EXPECT_EQ(cheetah->health, 80.9f);
  EXPECT_EQ(cheetah->position.x, 11.0f);
  EXPECT_EQ(f.player(4)->vehicle, cheetah);
  EXPECT_EQ(f.player(4)->health, 100.0f) << "a driver's health is the vehicle's";
}

TEST(PositionUpdateTest, DriverUpdateWithTwoPassengersInOrder) {
  InboundFixture f;
  f.harness.deliver(playerJoined(9, "Cy"));
  f.harness.output();
  EXPECT_EQ(f.deliver(positionUpdate(7, 107, 55.0f, 1, 1, 1)),
            "onPlayerPositionChange 7\nonPlayerVehicleEnter 7 7\n");
  EXPECT_EQ(f.player(7)->position.x, 0.0f) << "a passenger update carries no position";
  f.deliver(positionUpdate(9, 107, 0));
  EXPECT_EQ(f.deliver(positionUpdate(4, 7, 70.0f, 5, 6, 7)),
            "onPlayerPositionChange 4\n"
            "onVehicleHealthChange 7 70\n"
            "onPlayerPositionChange 7\n"
            "onPlayerPositionChange 9\n"
            "onPlayerVehicleEnter 4 7\n");
  EXPECT_EQ(f.player(7)->position.y, 6.0f);
  EXPECT_EQ(f.player(9)->position.z, 7.0f);
}

TEST(PositionUpdateTest, PassengerListRules) {
  InboundFixture f(
      "addEventHandler('onPlayerVehicleEnter', 'check')\n"
      "function check(p, v) print('passenger', getVehicleIsPassenger(v, p)) end\n");
  f.deliver(positionUpdate(7, 107, 0));
  f.deliver(positionUpdate(7, 107, 0));
  EXPECT_EQ(f.vehicle(7)->passengers.size(), 1u);
  // Going on foot leaves the entry: the next driver update still moves Bo.
  EXPECT_EQ(f.deliver(positionUpdate(7, 0, 100.0f, 3, 3, 3)),
            "onPlayerPositionChange 7\nonPlayerVehicleExit 7 7\n");
  EXPECT_TRUE(f.vehicle(7)->hasPassenger(f.player(7)));
  EXPECT_EQ(f.deliver(positionUpdate(4, 7, 90.0f, 8, 8, 8)),
            "onPlayerPositionChange 4\nonVehicleHealthChange 7 90\nonPlayerPositionChange 7\n"
            "onPlayerVehicleEnter 4 7\npassenger\tfalse\n");
  EXPECT_EQ(f.player(7)->position.x, 8.0f);
  // A passenger who drives leaves the passenger list and becomes the driver.
  EXPECT_EQ(f.deliver(positionUpdate(7, 7, 90.0f, 9, 9, 9)),
            "onPlayerPositionChange 7\nonVehicleHealthChange 7 90\n"
            "onPlayerVehicleEnter 7 7\npassenger\tfalse\n");
  EXPECT_TRUE(f.vehicle(7)->passengers.empty());
  EXPECT_EQ(f.vehicle(7)->driver, f.player(7));
}

TEST(PositionUpdateTest, ExitFiresOnceAndLeavesTheVehicleAsItWas) {
  InboundFixture f;
  f.deliver(positionUpdate(4, 5, 60.0f));
  EXPECT_EQ(f.deliver(positionUpdate(4, 0, 100.0f)),
            "onPlayerPositionChange 4\nonPlayerVehicleExit 4 5\n");
  EXPECT_EQ(f.deliver(positionUpdate(4, 0, 100.0f)), "onPlayerPositionChange 4\n");
  EXPECT_EQ(f.vehicle(5)->driver, f.player(4)) << "leaving does not clear the driver";
}

TEST(PositionUpdateTest, MovingStraightToAnotherVehicleEntersWithoutExit) {
  InboundFixture f;
  f.deliver(positionUpdate(4, 5, 60.0f));
  EXPECT_EQ(f.deliver(positionUpdate(4, 106, 0)),
            "onPlayerPositionChange 4\nonPlayerVehicleEnter 4 6\n");
  EXPECT_EQ(f.player(4)->vehicle, f.vehicle(6));
}

TEST(PositionUpdateTest, StatesAbove200AndUnknownIdsChangeNothing) {
  InboundFixture f;
  EXPECT_EQ(f.deliver(positionUpdate(4, 201, 1.0f, 9, 9, 9)), "");
  EXPECT_EQ(f.deliver(positionUpdate(4, 255, 1.0f, 9, 9, 9)), "");
  EXPECT_EQ(f.player(4)->position.x, 0.0f);
  EXPECT_EQ(f.deliver(positionUpdate(99, 0, 1.0f)), "");
  // Game 2 / mode 1 has vehicles 1 to 80: 81 to 100 are unknown.
  EXPECT_EQ(f.deliver(positionUpdate(4, 90, 50.0f, 4, 4, 4)), "onPlayerPositionChange 4\n");
  EXPECT_EQ(f.player(4)->position.x, 4.0f);
  EXPECT_EQ(f.player(4)->vehicle, nullptr);
  EXPECT_EQ(f.deliver(positionUpdate(4, 190, 0)), "onPlayerPositionChange 4\n");
}

TEST(PositionUpdateTest, ShortBodiesReadZeros) {
  InboundFixture f;
  EXPECT_EQ(f.deliver(Datagram{10, 4}), "onPlayerPositionChange 4\nonPlayerHealthChange 4 0 100\n");
  EXPECT_EQ(f.deliver(Datagram{10, 4, 5}),
            "onPlayerPositionChange 4\nonVehicleHealthChange 5 0\nonPlayerVehicleEnter 4 5\n");
}

TEST(PositionUpdateTest, RosterRebuildWhilePlayersSitInVehicles) {
  InboundFixture f;
  f.deliver(positionUpdate(4, 5, 60.0f));
  f.deliver(positionUpdate(7, 105, 0));
  f.harness.deliver(connectionAccepted(ServerRecord(), {}));
  f.harness.output();
  EXPECT_EQ(f.player(4)->vehicle, nullptr);
  EXPECT_EQ(f.player(7)->vehicle, nullptr);
  // No exit event for a vehicle that no longer exists; the next entry is new.
  EXPECT_EQ(f.deliver(positionUpdate(4, 0, 100.0f)), "onPlayerPositionChange 4\n");
  EXPECT_EQ(f.deliver(positionUpdate(7, 105, 0)),
            "onPlayerPositionChange 7\nonPlayerVehicleEnter 7 5\n");
}

// Who is in vehicle 5 after the updates, as "DRIVER|PASSENGER,...": the
// model keeps the last driver and riders for the scripts, the current
// occupants leave out those who got out or moved on.
TEST(PositionUpdateTest, CurrentOccupantsLeaveOutThoseWhoGotOut) {
  struct Case {
    const char* what;
    std::vector<Datagram> updates;
    const char* inside;
  };
  const Case cases[] = {
      {"driver and passenger", {positionUpdate(4, 5, 90), positionUpdate(7, 105, 0)}, "Ann|Bo"},
      {"passenger alone", {positionUpdate(7, 105, 0)}, "-|Bo"},
      {"driver got out", {positionUpdate(4, 5, 90), positionUpdate(4, 0, 90)}, "-|"},
      {"passenger got out", {positionUpdate(7, 105, 0), positionUpdate(7, 0, 90)}, "-|"},
      {"driver drives another", {positionUpdate(4, 5, 90), positionUpdate(4, 6, 90)}, "-|"},
      {"driver moved to a seat", {positionUpdate(4, 5, 90), positionUpdate(4, 105, 0)}, "-|Ann"},
      {"driver took over", {positionUpdate(4, 5, 90), positionUpdate(7, 5, 90)}, "Bo|"},
  };
  for (const Case& c : cases) {
    InboundFixture f;
    for (const Datagram& update : c.updates) f.deliver(update);
    const Vehicle* vehicle = f.vehicle(5);
    ASSERT_NE(vehicle, nullptr);
    std::string inside = vehicle->currentDriver() ? vehicle->currentDriver()->name : "-";
    inside += "|";
    for (const Player* passenger : vehicle->currentPassengers()) {
      inside += (inside.back() == '|' ? "" : ",") + passenger->name;
    }
    EXPECT_EQ(inside, c.inside) << c.what;
  }
}

}  // namespace
}  // namespace gsadmin::testing
