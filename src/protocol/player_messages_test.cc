// Joins (id 8), quits (id 9) and details replies (id 29).

#include "protocol/player_messages.h"

#include <gtest/gtest.h>

#include "protocol/inbound_test_script.h"
#include "protocol/wire.h"

namespace gsadmin::testing {
namespace {

TEST(PlayerJoinTest, JoinPrintsAndRequestsDetailsOnceTheDelayHasPassedWithoutAnEvent) {
  InboundFixture f;
  uint64_t joined = f.harness.clock().nowMs();
  EXPECT_EQ(f.deliver(playerJoined(12, "Newbie")), "Newbie has joined the game (ID: 12)\n");
  EXPECT_EQ(f.harness.clock().nowMs(), joined) << "nothing waits in the handler";
  // Sent by the pass that read the join, once its datagrams are handled.
  EXPECT_EQ(f.harness.sent(), (std::vector<Datagram>{{0x1D, 12}}));
  ASSERT_NE(f.player(12), nullptr);
  EXPECT_EQ(f.player(12)->info, "Unknown");
  // onPlayerJoin comes with the details reply.
  EXPECT_EQ(f.deliver(playerDetails(12, "country: nowhere")), "onPlayerJoin 12\n");
  EXPECT_EQ(f.player(12)->info, "country: nowhere");
}

// Each join has its one request, also when the player left before it was
// due: the same datagrams as when the join waited in place.
TEST(PlayerJoinTest, EachJoinGetsOneRequestWhenDue) {
  struct Step {
    uint64_t advanceMs;  // before the datagram, then a poll
    Datagram datagram;
  };
  struct Case {
    const char* what;
    std::vector<Step> steps;
    std::vector<Datagram> sent;  // once every request is due
  };
  const Case cases[] = {
      {"left before due", {{0, playerJoined(12, "A")}, {4, playerLeft(0, 12)}}, {{0x1D, 12}}},
      {"left after due", {{0, playerJoined(12, "A")}, {5, playerLeft(0, 12)}}, {{0x1D, 12}}},
      {"came back",
       {{0, playerJoined(12, "A")}, {1, playerLeft(0, 12)}, {1, playerJoined(12, "B")}},
       {{0x1D, 12}, {0x1D, 12}}},
      {"joined twice",
       {{0, playerJoined(12, "A")}, {1, playerJoined(12, "B")}},
       {{0x1D, 12}, {0x1D, 12}}},
      {"another left",
       {{0, playerJoined(12, "A")}, {0, playerJoined(13, "B")}, {1, playerLeft(0, 13)}},
       {{0x1D, 12}, {0x1D, 13}}},
  };
  for (const Case& c : cases) {
    InboundFixture f;
    std::vector<Datagram> sent;
    for (const Step& step : c.steps) {
      f.harness.clock().advance(step.advanceMs);
      f.harness.session().poll();  // as the loop wakes when a request is due
      f.harness.deliver(step.datagram);
      for (Datagram& datagram : f.harness.sent()) sent.push_back(std::move(datagram));
    }
    f.harness.clock().advance(5);
    f.harness.session().poll();
    for (Datagram& datagram : f.harness.sent()) sent.push_back(std::move(datagram));
    EXPECT_EQ(sent, c.sent) << c.what;
  }
}

TEST(PlayerJoinTest, ReplacingJoinResetsThePlayerWithoutAQuit) {
  InboundFixture f;
  f.harness.deliver(
      {positionUpdate(4, 0, 50.0f, 1, 2, 3), positionUpdate(4, 5, 80.0f), deathReport(7, 4, 30)});
  f.harness.output();
  size_t count = f.harness.session().players().count();
  EXPECT_EQ(f.deliver(playerJoined(4, "Ann2")), "Ann2 has joined the game (ID: 4)\n");
  EXPECT_EQ(f.harness.session().players().count(), count);
  Player* ann = f.player(4);
  EXPECT_EQ(ann->name, "Ann2");
  EXPECT_EQ(ann->info, "Unknown");
  EXPECT_EQ(ann->kills, 0);
  EXPECT_EQ(ann->health, 100.0f);
  EXPECT_EQ(ann->vehicle, nullptr);
  EXPECT_EQ(ann->position.x, 0.0f);
  EXPECT_EQ(f.harness.session().players().all().back().get(), ann);
  EXPECT_EQ(f.vehicle(5)->driver, nullptr) << "the replaced record is gone from its vehicle";
}

TEST(PlayerJoinTest, EmptyAndUnterminatedNames) {
  InboundFixture f;
  EXPECT_EQ(f.deliver(Datagram{8, 20}), " has joined the game (ID: 20)\n");
  EXPECT_EQ(f.player(20)->name, "");
  EXPECT_EQ(f.deliver(Datagram{8, 21, 'X', 'y'}), "Xy has joined the game (ID: 21)\n");
  EXPECT_EQ(f.deliver(Datagram{8}), " has joined the game (ID: 0)\n");
}

TEST(PlayerJoinTest, ControlBytesInNamesArePrintedAsQuestionMarks) {
  InboundFixture f;
  EXPECT_EQ(f.deliver(playerJoined(30, "Bad\x1b]0;owned\x07Guy")),
            "Bad?]0;owned?Guy has joined the game (ID: 30)\n");
  EXPECT_EQ(f.player(30)->name, "Bad\x1b]0;owned\x07Guy");  // scripts get the raw bytes
}

TEST(PlayerQuitTest, EachReasonLineThenTheEventThenRemoval) {
  const std::tuple<uint8_t, const char*, int> reasons[] = {
      {wire::kQuitKicked, "Ann has been kicked from the game", 1},
      {wire::kQuitTimedOut, "Ann has timed out", 2},
      {wire::kQuitLeft, "Ann has left the game", 0},
      {7, "Ann has left the game", 7},
      {0xFF, "Ann has left the game", -1},
      {0x80, "Ann has left the game", -128}};
  for (const auto& [reason, line, pushed] : reasons) {
    InboundFixture f;
    size_t count = f.harness.session().players().count();
    EXPECT_EQ(f.deliver(playerLeft(reason, 4)),
              std::string(line) + "\nonPlayerQuit 4 " + std::to_string(pushed) + "\n");
    EXPECT_EQ(f.player(4), nullptr);
    EXPECT_EQ(f.harness.session().players().count(), count - 1);
  }
}

TEST(PlayerQuitTest, QuittingPlayerIsStillQueryableInsideTheHandler) {
  InboundFixture f(
      "addEventHandler('onPlayerQuit', 'bye')\n"
      "function bye(id) print('bye', getPlayerName(id)) end\n");
  EXPECT_EQ(f.deliver(playerLeft(0, 7)), "Bo has left the game\nonPlayerQuit 7 0\nbye\tBo\n");
  f.harness.session().events().fireEvent(Event::kPlayerQuit, 7, 0);
  EXPECT_EQ(f.harness.output(), "onPlayerQuit 7 0\ngetPlayerName: No such player.\nbye\n");
}

TEST(PlayerQuitTest, UnknownIdsAndShortBodies) {
  InboundFixture f;
  EXPECT_EQ(f.deliver(playerLeft(0, 99)), "");
  EXPECT_EQ(f.deliver(Datagram{9}), "");  // reason 0, id 0: nobody
  f.harness.deliver(playerJoined(0, "Zero"));
  f.harness.output();
  EXPECT_EQ(f.deliver(Datagram{9, 2}), "Zero has timed out\nonPlayerQuit 0 2\n");
  EXPECT_EQ(f.player(0), nullptr);
}

TEST(PlayerQuitTest, QuitClearsThePlayerFromVehicles) {
  InboundFixture f;
  f.harness.deliver({positionUpdate(4, 5, 90.0f), positionUpdate(7, 105, 0)});
  ASSERT_EQ(f.vehicle(5)->driver, f.player(4));
  f.harness.deliver({playerLeft(0, 4), playerLeft(0, 7)});
  EXPECT_EQ(f.vehicle(5)->driver, nullptr);
  EXPECT_TRUE(f.vehicle(5)->passengers.empty());
}

TEST(PlayerDetailsTest, UnknownIdChangesNothingAndRepeatsFireAgain) {
  InboundFixture f;
  EXPECT_EQ(f.deliver(playerDetails(99, "x")), "");
  EXPECT_EQ(f.deliver(playerDetails(4, "first")), "onPlayerJoin 4\n");
  EXPECT_EQ(f.deliver(playerDetails(4, "second")), "onPlayerJoin 4\n");
  EXPECT_EQ(f.player(4)->info, "second");
}

}  // namespace
}  // namespace gsadmin::testing
