#include "panel/snapshot.h"

#include <gtest/gtest.h>

namespace gsadmin {
namespace {

Snapshot at(uint64_t ms, std::vector<PlayerView> players = {}) {
  Snapshot snapshot;
  snapshot.takenMs = ms;
  snapshot.players = std::move(players);
  return snapshot;
}

PlayerView player(int id, const std::string& name, float x = 0, int kills = 0) {
  PlayerView view;
  view.id = id;
  view.name = name;
  view.x = x;
  view.kills = kills;
  return view;
}

TEST(SnapshotPublisherTest, ChangesAtOnceMovesAtMostTenTimesASecond) {
  auto signal = std::make_shared<ChangeSignal>();
  signal->listen(true);
  SnapshotBoard board(signal);
  SnapshotPublisher publisher(board);
  EXPECT_EQ(board.latest()->serial, 0u) << "an empty one before the first";

  EXPECT_TRUE(publisher.offer(at(1000, {player(1, "Bob")})));
  EXPECT_EQ(board.latest()->serial, 1u);
  EXPECT_FALSE(publisher.offer(at(1001, {player(1, "Bob")}))) << "nothing changed";
  EXPECT_FALSE(publisher.msUntilDue(1001));

  // A kill is published at once, however soon.
  EXPECT_TRUE(publisher.offer(at(1002, {player(1, "Bob", 0, 1)})));
  // A move alone waits until 100 ms after the last publication...
  EXPECT_FALSE(publisher.offer(at(1050, {player(1, "Bob", 5, 1)})));
  EXPECT_EQ(publisher.msUntilDue(1050), 52u);
  EXPECT_EQ(board.latest()->players[0].x, 0);
  EXPECT_FALSE(publisher.offer(at(1101, {player(1, "Bob", 6, 1)})));
  EXPECT_TRUE(publisher.offer(at(1102, {player(1, "Bob", 7, 1)})));
  EXPECT_EQ(board.latest()->players[0].x, 7);
  EXPECT_EQ(board.latest()->serial, 3u);
  EXPECT_FALSE(publisher.msUntilDue(1102));
  // ... and a join goes out at once again.
  signal->clear();
  EXPECT_TRUE(publisher.offer(at(1103, {player(1, "Bob", 7, 1), player(2, "Al")})));
  EXPECT_TRUE(signal->clear()) << "streams are woken";
}

TEST(SnapshotPublisherTest, CountersAloneAtMostOnceASecond) {
  SnapshotBoard board(std::make_shared<ChangeSignal>());
  SnapshotPublisher publisher(board);
  EXPECT_TRUE(publisher.offer(at(0)));
  Snapshot busy = at(10);
  busy.counters.datagramsByType[10] = 5;
  busy.lastDatagramMs = 10;
  EXPECT_FALSE(publisher.offer(busy));
  EXPECT_EQ(publisher.msUntilDue(10), 990u);
  busy.takenMs = 1000;
  EXPECT_TRUE(publisher.offer(busy));
  EXPECT_EQ(board.latest()->counters.datagramsByType[10], 5u);
}

TEST(SnapshotPublisherTest, HandlerTimesFallIntoTheirBuckets) {
  LoopCounters counters;
  counters.countHandler(10);
  counters.countHandler(50);
  counters.countHandler(51);
  counters.countHandler(1000000);
  EXPECT_EQ(counters.handlerBuckets[0], 2u);
  EXPECT_EQ(counters.handlerBuckets[1], 1u);
  EXPECT_EQ(counters.handlerBuckets.back(), 1u);
  EXPECT_EQ(counters.handlerCount, 4u);
  EXPECT_EQ(counters.handlerTotalUs, 1000111u);
}

// The streams wait on the signal: new counters alone must not wake them.
TEST(SnapshotBoardTest, OnlyChangedPlayersWakeTheStreams) {
  auto signal = std::make_shared<ChangeSignal>();
  signal->listen(true);
  SnapshotBoard board(signal);
  const struct {
    std::vector<PlayerView> players;
    uint64_t eventsFired;
    bool wakes;
  } steps[] = {
      {{player(1, "Bob")}, 0, true},
      {{player(1, "Bob")}, 500, false},  // counters only
      {{player(1, "Bob", 3.5f)}, 500, true},
      {{}, 900, true},
  };
  for (const auto& step : steps) {
    signal->clear();
    Snapshot next = at(1000, step.players);
    next.counters.eventsFired[0] = step.eventsFired;
    board.publish(std::make_shared<const Snapshot>(std::move(next)));
    EXPECT_EQ(signal->clear(), step.wakes) << step.eventsFired;
  }
}

}  // namespace
}  // namespace gsadmin
