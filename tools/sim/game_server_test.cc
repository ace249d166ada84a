// The simulated server in process, with a hand-driven clock: keep-alive
// timing, and the datagram sequences the world produces.

#include "game_server.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/defaults.h"
#include "sim/server_messages.h"
#include "support/manual_clock.h"

namespace gsadmin::sim {
namespace {

namespace wire = gsadmin::testing;

class RecordingSink : public DatagramSink {
 public:
  void sendTo(const Endpoint& to, const Datagram& datagram) override {
    sent.push_back({to, datagram});
  }
  std::vector<Datagram> take() {
    std::vector<Datagram> all;
    for (auto& [to, datagram] : sent) all.push_back(datagram);
    sent.clear();
    return all;
  }
  std::vector<std::pair<Endpoint, Datagram>> sent;
};

const Endpoint kAdmin{0x7F000001, 40000};

Datagram login(const std::string& name, const std::string& password) {
  Datagram datagram = {0x0D, '0', 0x02};
  datagram.insert(datagram.end(), name.begin(), name.end());
  datagram.push_back('|');
  datagram.insert(datagram.end(), password.begin(), password.end());
  datagram.push_back(0);
  return datagram;
}

class GameServerTest : public ::testing::Test {
 protected:
  GameServerTest() : log_(clock_, nullptr), server_(ServerSetup(), clock_, sink_, log_) {}

  void deliver(const Datagram& datagram, const Endpoint& from = kAdmin) {
    server_.handleDatagram(from, datagram.data(), datagram.size());
  }
  void logIn() {
    deliver(login(defaults::kAdminName, defaults::kAdminPassword));
    sink_.take();
  }
  void advance(uint64_t ms) {
    clock_.advance(ms);
    server_.tick();
  }
  bool logged(const std::string& needle) const {
    return std::any_of(log_.kept().begin(), log_.kept().end(), [&](const std::string& line) {
      return line.find(needle) != std::string::npos;
    });
  }
  int loggedCount(const std::string& needle) const {
    return static_cast<int>(std::count_if(
        log_.kept().begin(), log_.kept().end(),
        [&](const std::string& line) { return line.find(needle) != std::string::npos; }));
  }

  ManualClock clock_;
  RecordingSink sink_;
  SimLog log_;
  GameServer server_;
};

TEST_F(GameServerTest, KeepAliveEveryIntervalWhileLoggedInOnly) {
  advance(10000);
  EXPECT_TRUE(sink_.take().empty()) << "nobody to ask before a login";
  logIn();
  advance(GameServer::kKeepAliveIntervalMs - 1);
  EXPECT_TRUE(sink_.take().empty());
  advance(1);
  EXPECT_EQ(sink_.take(), std::vector<Datagram>{wire::keepAliveRequest()});
  deliver({0x35, 0x00});
  advance(GameServer::kKeepAliveIntervalMs);
  EXPECT_EQ(sink_.take(), std::vector<Datagram>{wire::keepAliveRequest()});
  deliver({0x35, 0x00});
  EXPECT_FALSE(logged("stopped answering"));
  EXPECT_FALSE(logged("malformed"));
}

TEST_F(GameServerTest, SilenceOnKeepAlivesIsReportedOnceAndRecoveryToo) {
  logIn();
  advance(GameServer::kKeepAliveIntervalMs);  // first request, unanswered
  advance(GameServer::kKeepAliveAnswerMs - 1);
  EXPECT_FALSE(logged("stopped answering"));
  advance(1);
  EXPECT_EQ(loggedCount("the admin client stopped answering keep-alives (no answer for 5.0 s)"), 1);
  advance(GameServer::kKeepAliveIntervalMs * 2);
  EXPECT_EQ(loggedCount("stopped answering"), 1);
  deliver({0x35, 0x00});
  EXPECT_EQ(loggedCount("the admin client answers keep-alives again"), 1);
  deliver({0x35, 0x00, 0x01});
  EXPECT_TRUE(logged("malformed keep-alive answer of 3 bytes"));
}

TEST_F(GameServerTest, SilentAdminIsGoneAfterThirtySeconds) {
  logIn();
  for (uint64_t t = 0; t + 1000 < GameServer::kAdminGoneMs; t += 1000) advance(1000);
  EXPECT_TRUE(server_.adminLoggedIn());
  advance(1000);
  EXPECT_FALSE(server_.adminLoggedIn());
  EXPECT_TRUE(logged("taken to be gone"));
  sink_.take();
  server_.join("Late", std::nullopt);
  advance(GameServer::kKeepAliveIntervalMs);
  EXPECT_TRUE(sink_.take().empty());
}

TEST_F(GameServerTest, LoginRefusalsGoToTheSender) {
  Endpoint other{0x7F000001, 40001};
  deliver(login(defaults::kAdminName, "wrong"), other);
  ASSERT_EQ(sink_.sent.size(), 1u);
  EXPECT_EQ(sink_.sent[0].first, other);
  EXPECT_EQ(sink_.sent[0].second, wire::disconnectReason(gsadmin::wire::kDisconnectWrongPassword));
  EXPECT_FALSE(server_.adminLoggedIn());
  sink_.take();
  deliver(login("", defaults::kAdminPassword));
  EXPECT_EQ(sink_.take(),
            std::vector<Datagram>{wire::disconnectReason(gsadmin::wire::kDisconnectBadNickname)});
  deliver({0x0D, '0', 0x02, 'A'});
  EXPECT_TRUE(sink_.take().empty());
  EXPECT_TRUE(logged("malformed login of 4 bytes"));
  deliver({0x03, 0x03, 'h', 'i', 0});
  EXPECT_TRUE(sink_.take().empty()) << "chat before a login is ignored";
  EXPECT_EQ(server_.acceptedLogins(), 0);
}

TEST_F(GameServerTest, DeathIsDyingThenReportThenRespawn) {
  server_.join("Ann", std::nullopt);
  server_.join("Bo", std::nullopt);
  logIn();
  server_.walk("Ann", 40.0f, Point{1, 2, 3});
  sink_.take();
  ASSERT_FALSE(server_.death("Ann", std::string("Bo"), 26));
  EXPECT_EQ(sink_.take(), (std::vector<Datagram>{wire::positionUpdate(0, 0, 0.0f, 1, 2, 3),
                                                 wire::deathReport(0, 1, 26),
                                                 wire::positionUpdate(0, 0, 100.0f, 1, 2, 3)}));
  EXPECT_TRUE(logged("Bo kills Ann with M4"));
  ASSERT_FALSE(server_.death("Bo", std::string("admin"), 0));
  EXPECT_EQ(sink_.take()[1], wire::deathReport(1, 100, 0));
  ASSERT_FALSE(server_.death("Bo", std::nullopt, 43));
  EXPECT_EQ(sink_.take()[1], wire::deathReport(1, 255, 43));
  EXPECT_TRUE(logged("Bo dies (Drowned)"));
  EXPECT_EQ(server_.death("Cy", std::nullopt, 1), "Cy is not on the server");
}

TEST_F(GameServerTest, VehiclesStartAtSpawnpointAndCarryPassengers) {
  server_.join("Ann", std::nullopt);
  server_.join("Bo", std::nullopt);
  logIn();
  server_.ride("Bo", 5);
  // Cheetah (5) spawns at (-831.6, -902, 10.1).
  EXPECT_EQ(sink_.take(),
            std::vector<Datagram>{wire::positionUpdate(1, 105, 100.0f, -831.6f, -902.0f, 10.1f)});
  server_.drive("Ann", 5, std::nullopt, Point{10, 20, 30});
  EXPECT_EQ(sink_.take(), std::vector<Datagram>{wire::positionUpdate(0, 5, 1000.0f, 10, 20, 30)});
  server_.walk("Bo", std::nullopt, std::nullopt);
  EXPECT_EQ(sink_.take(), std::vector<Datagram>{wire::positionUpdate(1, 0, 100.0f, 10, 20, 30)})
      << "the passenger rode along";
  EXPECT_TRUE(logged("Bo on foot, health 100.0 at (10.0, 20.0, 30.0), out of Cheetah (5)"));
}

// Two players may share a key; the details of each are the key alone.
TEST_F(GameServerTest, DetailsAreThePlayersKeyWhenGiven) {
  server_.join("Ann", std::nullopt, "key-1");
  server_.join("Bo", std::nullopt, "key-1");
  server_.join("Cy", std::nullopt);
  logIn();
  for (uint8_t id : {0, 1, 2}) deliver({0x1D, id});
  EXPECT_EQ(sink_.take(),
            (std::vector<Datagram>{wire::playerDetails(0, "key-1"), wire::playerDetails(1, "key-1"),
                                   wire::playerDetails(2, "Cy ping 40 ms, health 100.0")}));
}

TEST(GameServerIdsTest, IdsSkipTheAdminMarkerAndHonourRequests) {
  ManualClock clock;
  RecordingSink sink;
  SimLog log(clock, nullptr);
  ServerSetup setup;
  setup.maxPlayers = 255;
  GameServer server(setup, clock, sink, log);
  for (int i = 0; i < 100; ++i) server.join("p" + std::to_string(i), std::nullopt);
  server.join("next", std::nullopt);
  server.join("asks", static_cast<uint8_t>(7));
  Datagram hello = login(defaults::kAdminName, defaults::kAdminPassword);
  server.handleDatagram(kAdmin, hello.data(), hello.size());
  sink.take();
  Datagram request = {0x1D, 101};
  server.handleDatagram(kAdmin, request.data(), request.size());
  EXPECT_EQ(sink.take(),
            std::vector<Datagram>{wire::playerDetails(101, "next ping 40 ms, health 100.0")})
      << "id 100 means the admin in death reports";
  EXPECT_EQ(log.kept()[101], "      - asks joins (id 102) (id 7 was taken)");
  setup.maxPlayers = 1;
  GameServer small(setup, clock, sink, log);
  EXPECT_FALSE(small.join("one", std::nullopt));
  EXPECT_EQ(small.join("two", std::nullopt), "the server is full (1/1): two cannot join");
}

TEST(GameServerKickDelayTest, AKickedPlayerStaysOnForTheDelayThenLeavesOnce) {
  ManualClock clock;
  RecordingSink sink;
  SimLog log(clock, nullptr);
  ServerSetup setup;
  setup.kickDelayMs = 300;
  GameServer server(setup, clock, sink, log);
  server.join("Bob", static_cast<uint8_t>(5));
  Datagram hello = login(defaults::kAdminName, defaults::kAdminPassword);
  server.handleDatagram(kAdmin, hello.data(), hello.size());
  Datagram ban = {0x0F, 5, 0};
  Datagram kick = {0x0E, 5, 0};
  server.handleDatagram(kAdmin, ban.data(), ban.size());
  clock.advance(299);
  server.tick();
  EXPECT_TRUE(server.isOnline("Bob")) << "a far server has not taken him off yet";
  server.handleDatagram(kAdmin, kick.data(), kick.size());  // a second request finds him
  clock.advance(1);
  server.tick();
  EXPECT_FALSE(server.isOnline("Bob"));
  EXPECT_TRUE(server.isBanned("Bob"));
  clock.advance(300);
  server.tick();  // the second kick's time: he is gone already
  const std::vector<std::string>& lines = log.kept();
  EXPECT_EQ(
      std::count_if(lines.begin(), lines.end(),
                    [](const std::string& line) { return line.ends_with("Bob quits (kicked)"); }),
      1);
}

}  // namespace
}  // namespace gsadmin::sim
