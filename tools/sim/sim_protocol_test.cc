// The real gsadmin-sim, spoken to over UDP as the admin client speaks.

#include <gtest/gtest.h>

#include <string>

#include "base/defaults.h"
#include "options.h"
#include "sim/server_messages.h"
#include "support/client_process.h"
#include "support/loopback_peer.h"
#include "support/udp_client.h"

namespace gsadmin::testing {
namespace {

Datagram login(const std::string& name, const std::string& password) {
  Datagram datagram = {0x0D, '0', 0x02};
  datagram.insert(datagram.end(), name.begin(), name.end());
  datagram.push_back('|');
  datagram.insert(datagram.end(), password.begin(), password.end());
  datagram.push_back(0);
  return datagram;
}

Datagram chatFrame(const std::string& text) {
  Datagram datagram = {0x03, 0x03};
  datagram.insert(datagram.end(), text.begin(), text.end());
  datagram.push_back(0);
  return datagram;
}

// The simulator on a free port, playing `scenario` (a file written for it).
class Simulator {
 public:
  explicit Simulator(const std::string& scenario, std::vector<std::string> flags = {}) {
    dir_.write("s.txt", scenario);
    std::vector<std::string> args = {"--port", "0", "--scenario", dir_.path() + "/s.txt"};
    args.insert(args.end(), flags.begin(), flags.end());
    process_ = std::make_unique<ClientProcess>(args, std::nullopt, GSADMIN_SIM_PATH);
    std::optional<std::string> line = process_->waitForLine("listening on 127.0.0.1:");
    if (line) {
      size_t at = line->find("127.0.0.1:") + 10;
      port_ = static_cast<uint16_t>(std::stoi(line->substr(at)));
    }
  }

  uint16_t port() const { return port_; }
  ClientProcess& process() { return *process_; }
  bool logs(const std::string& needle, int timeoutMs = 3000) {
    return process_->waitForLine(needle, timeoutMs).has_value();
  }

 private:
  TempDir dir_;
  std::unique_ptr<ClientProcess> process_;
  uint16_t port_ = 0;
};

const char kTwoPlayers[] =
    "server-name Test Arena\nmotd Hi all\ngame 2\nmode 1\nmax-players 12\n"
    "online Ann\nonline Bo 5\n";

TEST(SimProtocolTest, LoginAcceptedWithServerRecordAndPlayerList) {
  Simulator sim(kTwoPlayers);
  ASSERT_NE(sim.port(), 0);
  UdpClient admin(sim.port());
  admin.send(login("Boss", defaults::kAdminPassword));
  std::optional<Datagram> accepted = admin.receive();
  ASSERT_TRUE(accepted);
  ServerRecord record;
  record.gameCode = 2;
  record.gameMode = 1;
  record.maxPlayers = 12;
  record.name = "Test Arena";
  record.motd = "Hi all";
  EXPECT_EQ(*accepted, connectionAccepted(record, {{0, "Ann"}, {5, "Bo"}}));
  EXPECT_TRUE(sim.logs("login as Boss from 127.0.0.1:"));
  EXPECT_TRUE(sim.logs("round 1 of "));
}

TEST(SimProtocolTest, WrongPasswordIsRefusedWithReasonFour) {
  Simulator sim(kTwoPlayers, {"--password", "s3cret"});
  UdpClient admin(sim.port());
  admin.send(login(defaults::kAdminName, defaults::kAdminPassword));
  EXPECT_EQ(admin.receive(), disconnectReason(wire::kDisconnectWrongPassword));
  EXPECT_TRUE(sim.logs(": wrong password, refused (reason 4)"));
  admin.send({0x03, 0x03, 'x', 0});
  EXPECT_TRUE(sim.logs("which is not logged in: ignored"));
  admin.send(login(defaults::kAdminName, "s3cret"));
  std::optional<Datagram> accepted = admin.receive();
  ASSERT_TRUE(accepted);
  EXPECT_EQ((*accepted)[0], kConnectionAcceptedId);
}

TEST(SimProtocolTest, DetailsRequestsAreAnsweredForKnownIds) {
  Simulator sim(kTwoPlayers);
  UdpClient admin(sim.port());
  admin.send(login(defaults::kAdminName, defaults::kAdminPassword));
  ASSERT_TRUE(admin.receiveId(kConnectionAcceptedId));
  admin.send({0x1D, 5});
  EXPECT_EQ(admin.receiveId(kPlayerDetailsId), playerDetails(5, "Bo ping 40 ms, health 100.0"));
  admin.send({0x1D, 9});
  EXPECT_TRUE(sim.logs("details request for id 9: no such player"));
}

TEST(SimProtocolTest, KeepAliveRequestsComeWhileLoggedIn) {
  Simulator sim(kTwoPlayers);
  UdpClient admin(sim.port());
  admin.send(login(defaults::kAdminName, defaults::kAdminPassword));
  ASSERT_TRUE(admin.receiveId(kConnectionAcceptedId));
  EXPECT_EQ(admin.receiveId(kKeepAliveRequestId, 4500), keepAliveRequest());
  admin.send({0x35, 0x00});
}

TEST(SimProtocolTest, ChatMessageSlapAndKickAsAServerAnswersThem) {
  Simulator sim(kTwoPlayers);
  UdpClient admin(sim.port());
  admin.send(login(defaults::kAdminName, defaults::kAdminPassword));
  ASSERT_TRUE(admin.receiveId(kConnectionAcceptedId));

  admin.send(chatFrame("hello all"));
  EXPECT_EQ(admin.receiveId(kChatId), chatLine(0, 3, "hello all"));
  EXPECT_TRUE(sim.logs("admin chat: hello all"));

  admin.send(chatFrame("/msg #5 see you"));
  EXPECT_EQ(admin.receiveId(kChatId), chatLine(0, 3, "/msgr Bo: see you"));
  EXPECT_TRUE(sim.logs("admin message to Bo (id 5): see you"));
  admin.send(chatFrame("/msg #7 anyone"));
  EXPECT_EQ(admin.receiveId(kChatId), chatLine(0, 3, "No such player: #7"));

  admin.send(chatFrame("/slap Bo"));
  EXPECT_EQ(admin.receiveId(kChatId), chatLine(0, 3, "Bo was slapped"));
  EXPECT_EQ(admin.receiveId(kPositionUpdateId), positionUpdate(5, 0, 90.0f));
  EXPECT_TRUE(sim.logs("admin slaps Bo: health 90.0"));

  admin.send({0x0E, 5, 0x00});
  EXPECT_EQ(admin.receiveId(kPlayerLeftId), playerLeft(wire::kQuitKicked, 5));
  EXPECT_TRUE(sim.logs("admin kicks Bo (id 5)"));
  admin.send({0x0E, 5, 0x00});
  EXPECT_TRUE(sim.logs("admin kicks id 5: no such player"));
}

TEST(SimProtocolTest, BannedPlayerQuitsAndIsKeptOut) {
  Simulator sim("online Ann\nonline Bo\n2 quit Ann\n3 join Ann\n4 chat Bo done\n",
                {"--speed", "2"});
  UdpClient admin(sim.port());
  admin.send(login(defaults::kAdminName, defaults::kAdminPassword));
  ASSERT_TRUE(admin.receiveId(kConnectionAcceptedId));
  admin.send({0x0F, 0, 0x00});
  EXPECT_EQ(admin.receiveId(kPlayerLeftId), playerLeft(wire::kQuitKicked, 0));
  EXPECT_TRUE(sim.logs("admin bans Ann (id 0)"));
  EXPECT_TRUE(sim.logs("s.txt:3: quit skipped: Ann is not on the server"));
  EXPECT_TRUE(sim.logs("s.txt:4: join skipped: Ann is banned: join refused"));
  std::optional<Datagram> next = admin.receiveId(kChatId, 3000);
  EXPECT_EQ(next, chatLine(1, 0, "done")) << "and no join came before it";
}

TEST(SimProtocolTest, ScenarioStartsAtTheLoginAndOnceEndsIt) {
  Simulator sim("online Ann\n0.5 chat Ann hi\n", {"--once", "--speed", "5"});
  UdpClient admin(sim.port());
  EXPECT_EQ(sim.process().waitExit(400), -1) << "nothing plays before a login";
  admin.send(login(defaults::kAdminName, defaults::kAdminPassword));
  ASSERT_TRUE(admin.receiveId(kConnectionAcceptedId));
  EXPECT_EQ(admin.receiveId(kChatId), chatLine(0, 0, "hi"));
  EXPECT_EQ(sim.process().waitExit(3000), 0);
  sim.process().readToEnd();
  EXPECT_NE(sim.process().output().find("scenario done"), std::string::npos);
}

// The simulator and the client meet out of the box: the options start at the
// shared defaults, and the usage text names them.
TEST(SimProtocolTest, OptionsAndUsageFollowTheSharedDefaults) {
  sim::SimOptions options;
  EXPECT_EQ(options.bindAddress, defaults::kServerAddress);
  EXPECT_EQ(options.port, defaults::kAdminPort);
  EXPECT_EQ(options.password, defaults::kAdminPassword);
  std::string usage = sim::usageText();
  for (const std::string& named : {"(default " + std::to_string(defaults::kAdminPort) + ";",
                                   "(default " + std::string(defaults::kAdminPassword) + ")",
                                   "(default " + std::string(defaults::kServerAddress) + ")"}) {
    EXPECT_NE(usage.find(named), std::string::npos) << named;
  }
}

TEST(SimProtocolTest, ClearErrorsAndExitStatuses) {
  TempDir dir;
  dir.write("bad.txt", "online Bob\n\n3 jion Bob\n");
  std::string bad = dir.path() + "/bad.txt";
  ClientProcess malformed({"--scenario", bad}, std::nullopt, GSADMIN_SIM_PATH);
  EXPECT_EQ(malformed.waitExit(), 3);
  malformed.readToEnd();
  EXPECT_EQ(malformed.output(), "gsadmin-sim: " + bad + ":3: unknown verb 'jion'\n");

  ClientProcess missing({"--scenario", dir.path() + "/none.txt"}, std::nullopt, GSADMIN_SIM_PATH);
  EXPECT_EQ(missing.waitExit(), 3);

  ClientProcess version({"--version"}, std::nullopt, GSADMIN_SIM_PATH);
  EXPECT_EQ(version.waitExit(), 0);
  version.readToEnd();
  EXPECT_EQ(version.output(),
            "gsadmin-sim " GSADMIN_VERSION " - loopback game server for gsadmin scripts\n");

  ClientProcess flag({"--sped", "2"}, std::nullopt, GSADMIN_SIM_PATH);
  EXPECT_EQ(flag.waitExit(), 2);
  flag.readToEnd();
  EXPECT_EQ(flag.output(), "gsadmin-sim: unknown option '--sped' (see --help)\n");

  LoopbackPeer taken;
  ClientProcess busy({"--port", std::to_string(taken.port())}, std::nullopt, GSADMIN_SIM_PATH);
  EXPECT_EQ(busy.waitExit(), 1);
  busy.readToEnd();
  EXPECT_EQ(busy.output(), "gsadmin-sim: cannot bind 127.0.0.1:" + std::to_string(taken.port()) +
                               ": Address already in use\n");
}

}  // namespace
}  // namespace gsadmin::testing
