// The fleet's tables on a real SQLite file: heartbeats and players written
// in batches, online and offline servers, and requests taken once, expired
// when late, answered, and read back.

#include "moderation/fleet_records.h"

#include <gtest/gtest.h>

#include <string>

#include "storage/sqlite_database.h"
#include "support/client_process.h"

namespace gsadmin {
namespace {

using testing::TempDir;

constexpr int64_t kNow = 1'700'000'000;

class FleetRecordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(store_.open(), "");
    store_.setServerName("beta");
  }

  std::vector<FleetServer> fleet(int64_t now) {
    std::string error;
    std::optional<std::vector<FleetServer>> read = readFleet(database_, now, &error);
    EXPECT_TRUE(read) << error;
    return read.value_or(std::vector<FleetServer>{});
  }

  FleetRequest request(int64_t time) {
    return {0,
            time,
            "beta",
            "alpha",
            R"({"name":"alice","level":4})",
            R"({"action":"kick","name":"Troll"})"};
  }

  TempDir dir_;
  SqliteDatabase database_{dir_.path() + "/script.db"};
  RecordStore store_{database_};
};

TEST_F(FleetRecordsTest, AHeartbeatAndThePlayersAreQueuedWhenDueAndWrittenTogether) {
  FleetPresence presence(store_);
  presence.tick(kNow, {{3, "Troll", 2, 1}, {5, "Carl", 0, 0}});
  EXPECT_EQ(presence.nextDue(), kNow + kHeartbeatSeconds);
  EXPECT_TRUE(fleet(kNow).empty()) << "queued, not yet written";
  ASSERT_FALSE(store_.flush());
  std::vector<FleetServer> servers = fleet(kNow);
  ASSERT_EQ(servers.size(), 1u);
  EXPECT_EQ(servers[0].name, "beta");
  EXPECT_TRUE(servers[0].online);
  ASSERT_EQ(servers[0].players.size(), 2u);
  EXPECT_EQ(servers[0].players[0].name, "Troll");
  EXPECT_EQ(servers[0].players[0].kills, 2);

  // Nothing due, nothing changed: nothing queued.
  presence.tick(kNow + 1, {});
  EXPECT_EQ(store_.queued(), 0u);
  // A leave: the players alone, at once.
  presence.changed();
  EXPECT_EQ(presence.nextDue(), 0);
  presence.tick(kNow + 2, {{5, "Carl", 0, 0}});
  ASSERT_FALSE(store_.flush());
  EXPECT_EQ(fleet(kNow + 2)[0].players.size(), 1u);
}

TEST_F(FleetRecordsTest, AServerWhoseHeartbeatIsOldOrThatStoppedIsOfflineWithNobodyOn) {
  FleetPresence presence(store_);
  presence.tick(kNow, {{3, "Troll", 0, 0}});
  ASSERT_FALSE(store_.flush());
  EXPECT_EQ(fleetRefusal(store_, "beta", kNow + kOfflineSeconds), "");
  EXPECT_EQ(fleetRefusal(store_, "beta", kNow + kOfflineSeconds + 1), "server beta is offline");
  EXPECT_EQ(fleetRefusal(store_, "gamma", kNow), "no server of the fleet is named gamma");
  std::vector<FleetServer> late = fleet(kNow + kOfflineSeconds + 1);
  ASSERT_EQ(late.size(), 1u);
  EXPECT_FALSE(late[0].online);
  EXPECT_TRUE(late[0].players.empty()) << "a dead client's players are not shown";

  presence.stopped();
  ASSERT_FALSE(store_.flush());
  EXPECT_EQ(fleetRefusal(store_, "beta", kNow), "server beta is offline");
  EXPECT_EQ(database_.run("SELECT count(*) FROM gs_online", {}).values[0].integerValue, 0);
}

TEST_F(FleetRecordsTest, ARequestIsTakenOnceAnsweredAndReadBack) {
  std::string error;
  std::optional<int64_t> id = askFleet(store_, request(kNow), &error);
  ASSERT_TRUE(id) << error;
  EXPECT_EQ(fleetAnswer(store_, *id)->state, "waiting");
  EXPECT_TRUE(takeFleetRequests(store_, "alpha", kNow).empty()) << "not alpha's";

  std::vector<FleetRequest> taken = takeFleetRequests(store_, "beta", kNow);
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken[0].id, *id);
  EXPECT_EQ(taken[0].origin, "alpha");
  EXPECT_EQ(taken[0].act, R"({"action":"kick","name":"Troll"})");
  EXPECT_EQ(fleetAnswer(store_, *id)->state, "running");
  EXPECT_TRUE(takeFleetRequests(store_, "beta", kNow).empty()) << "taken once only";

  answerFleet(store_, taken[0], "done", "kick done on beta", kNow);
  std::optional<FleetAnswer> answer = fleetAnswer(store_, *id);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->state, "done");
  EXPECT_EQ(answer->answer, "kick done on beta");
  EXPECT_FALSE(fleetAnswer(store_, *id + 1)) << "no such request";
}

TEST_F(FleetRecordsTest, ALateRequestIsExpiredNotCarriedOutAndOldOnesArePurged) {
  std::string error;
  std::optional<int64_t> late = askFleet(store_, request(kNow), &error);
  ASSERT_TRUE(late) << error;
  EXPECT_TRUE(takeFleetRequests(store_, "beta", kNow + kRequestLifeSeconds + 1).empty());
  EXPECT_EQ(fleetAnswer(store_, *late)->state, "expired");

  purgeFleetRequests(store_, kNow + kRequestKeepSeconds + 1);
  ASSERT_FALSE(store_.flush());
  EXPECT_FALSE(fleetAnswer(store_, *late)) << "purged";
}

}  // namespace
}  // namespace gsadmin
