// What names and details texts are worth, through the real binary: an admin
// is bound only to details that tell players apart, and a ban holds for a
// name that only looks different.

#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <string>
#include <vector>

#include "sim/server_messages.h"
#include "support/client_process.h"
#include "support/console_lines.h"
#include "support/loopback_peer.h"

namespace gsadmin::testing {
namespace {

const char kNamed[] =
    "* .admin add: the server's details hold the player's name, which anyone may take; "
    "--trust-names allows it";
const char kChanging[] =
    "* .admin add: the server's details change while the player is on (ping, health), so they "
    "tell nobody apart; --trust-names allows it";

// The client on `peer`, its commands piped in.
std::unique_ptr<ClientProcess> startClient(const LoopbackPeer& peer,
                                           std::vector<std::string> options = {}) {
  for (const char* word : {"127.0.0.1", "", "Admin", "pw"}) options.emplace_back(word);
  options[options.size() - 3] = std::to_string(peer.port());
  return std::make_unique<ClientProcess>(options, std::nullopt, ClientProcess::defaultBinary(),
                                         std::nullopt, std::nullopt, ClientProcess::Input::kPipe);
}

// Connects the client to `peer` with `players` on, then has each listed
// player's details (several replies for one id: the text changed) arrive.
// Returns once the client has handled them all.
void connectWith(LoopbackPeer& peer, ClientProcess& client,
                 const std::vector<ListedPlayer>& players,
                 const std::vector<std::pair<uint8_t, std::string>>& details) {
  ASSERT_TRUE(peer.receive());  // the login
  peer.send(connectionAccepted(ServerRecord(), players));
  ASSERT_TRUE(client.waitForLine("Successfully connected")) << client.output();
  for (const auto& [id, text] : details) peer.send(playerDetails(id, text));
  // Datagrams are handled in order: once this line shows, so were those.
  peer.send(chatLine(players.front().id, 0, "ready"));
  ASSERT_TRUE(client.waitForLine(": ready")) << client.output();
}

TEST(ModerationNamesEndToEndTest, TheSimulatorsDetailsBindNoAdmin) {
  TempDir dir;
  dir.write("scenario.txt",
            "server-name Names\n"
            "online Bob\n"
            "0.5  chat Bob ready\n"
            "8    end\n");
  ClientProcess sim({"--port", "0", "--scenario", dir.path() + "/scenario.txt", "--once"},
                    std::nullopt, GSADMIN_SIM_PATH);
  uint16_t port = listeningPort(sim);
  ASSERT_NE(port, 0) << sim.output();
  ClientProcess client({"127.0.0.1", std::to_string(port), "Admin", "73519"}, std::nullopt,
                       ClientProcess::defaultBinary(), std::nullopt, std::nullopt,
                       ClientProcess::Input::kPipe);
  ASSERT_TRUE(client.waitForLine("Bob: ready")) << client.output();
  EXPECT_EQ(answer(client, ".admin add Bob 2", ".admin add"), std::string(kNamed) + "\n");
  EXPECT_EQ(answer(client, ".admins", "admins"), "* no admins in game\n");
  client.closeInput();
  client.kill(SIGTERM);
  EXPECT_EQ(client.waitExit(), 0);
}

TEST(ModerationNamesEndToEndTest, DetailsThatChangeOrHoldTheNameNeedTrustNames) {
  const std::vector<ListedPlayer> players = {{3, "Bob"}, {5, "Kay"}, {6, "Ugo"}};
  const std::vector<std::pair<uint8_t, std::string>> details = {
      {3, "bob ping 40 ms, health 100.0"},
      {5, "ping 40 ms, health 100.0"},
      {6, "k-77"},
      {5, "ping 52 ms, health 100.0"},
  };
  {
    LoopbackPeer peer;
    std::unique_ptr<ClientProcess> client = startClient(peer);
    connectWith(peer, *client, players, details);
    EXPECT_EQ(answer(*client, ".admin add Bob 2", ".admin add"), std::string(kNamed) + "\n");
    EXPECT_EQ(answer(*client, ".admin add Kay 2", ".admin add"), std::string(kChanging) + "\n");
    EXPECT_EQ(answer(*client, ".admin add Ugo 2", "Ugo"),
              "* console:Admin made Ugo an admin of level 2\n");
    client->closeInput();
    client->kill(SIGTERM);
    EXPECT_EQ(client->waitExit(), 0);
  }
  LoopbackPeer peer;
  std::unique_ptr<ClientProcess> trusting = startClient(peer, {"--trust-names"});
  connectWith(peer, *trusting, players, details);
  EXPECT_EQ(answer(*trusting, ".admin add Bob 2", "Bob"),
            "* console:Admin made Bob an admin of level 2\n");
  EXPECT_EQ(answer(*trusting, ".admin add Kay 1", "Kay"),
            "* console:Admin made Kay an admin of level 1\n");
  trusting->closeInput();
  trusting->kill(SIGTERM);
  EXPECT_EQ(trusting->waitExit(), 0);
}

// "Evе" with a Cyrillic е (UTF-8 D0 B5) is kicked for the ban on Eve, and
// the line says which banned name it matched.
TEST(ModerationNamesEndToEndTest, ALookAlikeOfABannedNameIsKicked) {
  LoopbackPeer peer;
  std::unique_ptr<ClientProcess> client = startClient(peer);
  connectWith(peer, *client, {{3, "Eve"}, {4, "Ann"}}, {{3, "k-3"}, {4, "k-4"}});
  EXPECT_NE(answer(*client, ".ban Eve cheating", "Eve").find("Eve"), std::string::npos);
  peer.send(playerLeft(wire::kQuitKicked, 3));
  ASSERT_TRUE(client->waitForLine("Eve has been kicked")) << client->output();
  peer.drain();

  const std::string lookAlike = "Ev\xd0\xb5";
  peer.send(playerJoined(7, lookAlike));
  EXPECT_EQ(client->waitForLine("is banned"),
            "* " + lookAlike + " is banned as Eve permanently (cheating): kicked");
  bool kicked = false;
  while (std::optional<Datagram> sent = peer.receive(2000)) {
    if (*sent == Datagram{wire::kKickRequestId, 7, 0}) {
      kicked = true;
      break;
    }
  }
  EXPECT_TRUE(kicked);
  // A name that only shares letters with the ban comes in.
  peer.send(playerJoined(8, "Eva"));
  EXPECT_EQ(client->waitForLine("(ID: 8)"), "Eva has joined the game (ID: 8)");
  EXPECT_FALSE(client->waitForLine("is banned", 500));
  client->closeInput();
  client->kill(SIGTERM);
  EXPECT_EQ(client->waitExit(), 0);
}

}  // namespace
}  // namespace gsadmin::testing
