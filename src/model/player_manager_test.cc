#include "model/player_manager.h"

#include <gtest/gtest.h>

#include <vector>

#include "model/vehicle.h"

namespace gsadmin {
namespace {

std::vector<uint8_t> idsOf(const PlayerManager& players) {
  std::vector<uint8_t> ids;
  for (const auto& player : players.all()) ids.push_back(player->id);
  return ids;
}

TEST(PlayerManagerTest, AddCreatesFreshRecord) {
  PlayerManager players;
  Player& p = players.add(7, "alice");
  EXPECT_EQ(p.id, 7);
  EXPECT_EQ(p.name, "alice");
  EXPECT_EQ(p.info, "Unknown");
  EXPECT_EQ(p.vehicle, nullptr);
  EXPECT_EQ(p.status, 1);
  EXPECT_EQ(p.kills, 0);
  EXPECT_EQ(p.deaths, 0);
  EXPECT_EQ(p.entryValue, 0u);
  EXPECT_EQ(p.health, 100.0f);
  EXPECT_EQ(p.position.x, 0.0f);
  EXPECT_EQ(p.position.y, 0.0f);
  EXPECT_EQ(p.position.z, 0.0f);
  EXPECT_EQ(players.find(7), &p);
}

TEST(PlayerManagerTest, AddSameIdReplacesMovesLastAndResets) {
  PlayerManager players;
  Vehicle car(1, "Taxi");
  Player& old = players.add(1, "alice");
  players.add(2, "bob");
  old.info = "details";
  old.vehicle = &car;
  old.status = 9;
  old.kills = 5;
  old.deaths = 6;
  old.entryValue = 42;
  old.health = 12.5f;
  old.position = {1.0f, 2.0f, 3.0f};

  Player& fresh = players.add(1, "alice2");
  EXPECT_EQ(players.count(), 2u);
  EXPECT_EQ(idsOf(players), (std::vector<uint8_t>{2, 1}));
  EXPECT_EQ(players.find(1), &fresh);
  EXPECT_EQ(fresh.name, "alice2");
  EXPECT_EQ(fresh.info, "Unknown");
  EXPECT_EQ(fresh.vehicle, nullptr);
  EXPECT_EQ(fresh.status, 1);
  EXPECT_EQ(fresh.kills, 0);
  EXPECT_EQ(fresh.deaths, 0);
  EXPECT_EQ(fresh.entryValue, 0u);
  EXPECT_EQ(fresh.health, 100.0f);
  EXPECT_EQ(fresh.position.x, 0.0f);
  EXPECT_EQ(fresh.position.y, 0.0f);
  EXPECT_EQ(fresh.position.z, 0.0f);
}

TEST(PlayerManagerTest, FindAndCount) {
  PlayerManager players;
  EXPECT_EQ(players.find(0), nullptr);
  EXPECT_EQ(players.count(), 0u);

  players.add(0, "");  // an empty name is still a name
  players.add(255, "max");
  EXPECT_EQ(players.count(), 2u);
  ASSERT_NE(players.find(0), nullptr);
  EXPECT_EQ(players.find(0)->name, "");
  ASSERT_NE(players.find(255), nullptr);
  EXPECT_EQ(players.find(255)->name, "max");
  EXPECT_EQ(players.find(1), nullptr);
}

TEST(PlayerManagerTest, RemoveDestroysOnlyThatRecord) {
  PlayerManager players;
  players.add(1, "a");
  players.add(2, "b");
  players.add(3, "c");

  players.remove(*players.find(2));
  EXPECT_EQ(players.find(2), nullptr);
  EXPECT_EQ(players.count(), 2u);
  EXPECT_EQ(idsOf(players), (std::vector<uint8_t>{1, 3}));

  // A record that belongs to no manager, even one with a known id, is ignored.
  Player stranger(1, "a");
  players.remove(stranger);
  EXPECT_EQ(idsOf(players), (std::vector<uint8_t>{1, 3}));
}

// Players are found by an index of their ids: through any run of joins,
// replacements and departures it names what the list holds.
TEST(PlayerManagerTest, FindAgreesWithTheListThroughJoinsAndDepartures) {
  struct Step {
    bool add;
    uint8_t id;
  };
  const Step steps[] = {{true, 1},  {true, 2},   {true, 1},  {false, 2}, {true, 255},
                        {true, 2},  {false, 1},  {true, 0},  {true, 0},  {false, 255},
                        {false, 0}, {false, 77}, {true, 77}, {true, 1}};
  PlayerManager players;
  for (const Step& step : steps) {
    if (step.add) {
      players.add(step.id, "p");
    } else if (Player* player = players.find(step.id)) {
      players.remove(*player);
    }
    for (int id = 0; id < 256; ++id) {
      Player* listed = nullptr;
      for (const auto& player : players.all()) {
        if (player->id == id) listed = player.get();
      }
      EXPECT_EQ(players.find(static_cast<uint8_t>(id)), listed) << "id " << id;
    }
  }
  EXPECT_EQ(idsOf(players), (std::vector<uint8_t>{2, 77, 1}));
}

// An id chosen at a mark means whoever held it then: the holder now only
// when they were there already, else the one who left it since.
TEST(PlayerManagerTest, AnIdMeansWhoHeldItAtTheMark) {
  PlayerManager players;
  uint64_t empty = players.mark();
  players.add(3, "Bob");
  uint64_t bob = players.mark();
  players.remove(*players.find(3));
  uint64_t free = players.mark();
  EXPECT_EQ(players.heldAt(3, bob), "Bob");
  players.add(3, "Eve");
  EXPECT_EQ(players.heldAt(3, bob), "Bob");
  uint64_t eve = players.mark();
  players.add(3, "Zed");  // replaces Eve without a leave
  // Only the last to leave an id is remembered: Bob is forgotten by now.
  const struct {
    uint64_t mark;
    std::optional<std::string> held;
  } cases[] = {
      {empty, std::nullopt}, {bob, std::nullopt},     {free, std::nullopt},
      {eve, "Eve"},          {players.mark(), "Zed"},
  };
  for (const auto& c : cases) EXPECT_EQ(players.heldAt(3, c.mark), c.held) << c.mark;
  EXPECT_EQ(players.heldAt(4, players.mark()), std::nullopt);
}

}  // namespace
}  // namespace gsadmin
