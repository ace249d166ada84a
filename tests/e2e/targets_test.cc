// Whom an act hits, through the real binary and a loopback server that
// scripts joins and leaves exactly: an id means the person it was chosen
// for, at the panel and at the console's line editor; a name not on the
// server is sanctioned and the sanction holds at the next join; a script's
// kick is audited under the script's name.

#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>

#include <algorithm>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <vector>

#include "protocol/outbound.h"
#include "support/console_lines.h"
#include "support/panel_client.h"
#include "support/terminal_process.h"

namespace gsadmin::testing {
namespace {

using nlohmann::json;

const int kLineWaitMs = 15000;  // generous: the machine may be loaded

// What the client sent (details requests aside) up to the chat frame
// "marker", which the caller has the client send after the acts it checks:
// everything those acts sent, and nothing they did not.
std::vector<Datagram> sentBeforeMarker(LoopbackPeer& peer) {
  std::vector<Datagram> sent;
  while (std::optional<Datagram> datagram = nextCommand(peer)) {
    if (*datagram == buildChatFrame("marker")) return sent;
    sent.push_back(*datagram);
  }
  ADD_FAILURE() << "the marker never came";
  return sent;
}

bool holds(const std::vector<Datagram>& sent, const Datagram& datagram) {
  return std::find(sent.begin(), sent.end(), datagram) != sent.end();
}

// Bob leaves id 3 and Eve takes it.
void replaceBobByEve(LoopbackPeer& peer) {
  ASSERT_TRUE(peer.send(playerLeft(wire::kQuitLeft, 3)));
  ASSERT_TRUE(peer.send(playerJoined(3, "Eve")));
}

// The panel on a client with the moderation on, alice (level 4) logged in,
// Bob on id 3.
class TargetsPanelTest : public PanelEndToEndTest {
 protected:
  void SetUp() override {
    startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_)}, true);
    int port = portOf(*client_, "Panel");
    ASSERT_NE(port, 0) << client_->output() << client_->errorOutput();
    ASSERT_TRUE(acceptLogin(peer_, {{3, "Bob"}}));
    http_ = std::make_unique<httplib::Client>("127.0.0.1", port);
    http_->set_read_timeout(20, 0);
    alice_ = logIn(*http_, "alice", "secret");
    ASSERT_TRUE(alice_);
  }

  std::pair<int, json> act(const json& body) {
    httplib::Result result =
        http_->Post("/api/actions", headersOf(*alice_), body.dump(), "application/json");
    if (!result) return {-1, json()};
    return {result->status, json::parse(result->body, nullptr, false)};
  }

  void sendMarker() { EXPECT_EQ(act({{"action", "chat"}, {"text", "marker"}}).first, 200); }

  std::unique_ptr<httplib::Client> http_;
  std::optional<WebUser> alice_;
};

// Guards a kick chosen from a list of players (id and name) that hit
// whoever had taken the id since the list was drawn.
TEST_F(TargetsPanelTest, AnIdThatPassedToAnotherPlayerIsRefusedUnlessTheNameStillFits) {
  replaceBobByEve(peer_);
  ASSERT_TRUE(client_->waitForLine("Eve has joined the game (ID: 3)", kLineWaitMs))
      << client_->output();

  auto [status, body] = act({{"action", "kick"}, {"player", 3}, {"name", "Bob"}});
  EXPECT_EQ(status, 409) << body;
  EXPECT_EQ(body["error"], "#3 is now Eve, not Bob: nothing done") << body;
  sendMarker();
  EXPECT_FALSE(holds(sentBeforeMarker(peer_), buildKickRequest(3)));

  std::tie(status, body) = act({{"action", "kick"}, {"player", 3}, {"name", "eve"}});
  EXPECT_EQ(status, 200) << body;
  EXPECT_TRUE(client_->waitForLine("* panel:alice kicked Eve", kLineWaitMs)) << client_->output();
  sendMarker();
  EXPECT_TRUE(holds(sentBeforeMarker(peer_), buildKickRequest(3)));

  // Eve goes, Bob comes back on 3: an id alone means whoever holds it.
  peer_.send(playerLeft(wire::kQuitKicked, 3));
  peer_.send(playerJoined(3, "Bob"));
  ASSERT_TRUE(client_->waitForLine("Bob has joined the game (ID: 3)", kLineWaitMs))
      << client_->output();
  std::tie(status, body) = act({{"action", "kick"}, {"player", 3}});
  EXPECT_EQ(status, 200) << body;
  EXPECT_TRUE(client_->waitForLine("* panel:alice kicked Bob", kLineWaitMs)) << client_->output();
  sendMarker();
  EXPECT_TRUE(holds(sentBeforeMarker(peer_), buildKickRequest(3)));
}

// The client on a pseudo-terminal against `peer`, with its files in `home`.
std::unique_ptr<TerminalProcess> terminalClient(const LoopbackPeer& peer, const std::string& home) {
  return std::make_unique<TerminalProcess>(
      ClientProcess::defaultBinary(),
      std::vector<std::string>{"--script=" + home + "/script.lua", "--db=" + home + "/script.db",
                               "127.0.0.1", std::to_string(peer.port()), "Admin", "pw"},
      home);
}

bool cursorRowReads(TerminalProcess& terminal, const std::string& text) {
  return terminal.waitFor(
      [&text](const ScreenModel& screen) {
        std::vector<std::string> rows = screen.rows();
        size_t row = static_cast<size_t>(screen.cursorRow());
        return row < rows.size() && rows[row] == text;
      },
      kLineWaitMs);
}

// Guards a line begun while Bob held an id and ended after Eve took it:
// the id was read when Enter came, so Eve was kicked for what the
// operator meant against Bob.
TEST(TargetsTerminalTest, AnIdMeansWhoHeldItWhenTheLineWasBegun) {
  LoopbackPeer peer;
  TempDir home;
  std::unique_ptr<TerminalProcess> terminal = terminalClient(peer, home.path());
  ASSERT_TRUE(acceptLogin(peer, {{3, "Bob"}}));
  // Typed before the login was handled, ".kick 3" would name nobody yet.
  ASSERT_TRUE(
      terminal->waitForRow("Successfully connected! 'Test Server' (Players: 1/32)", kLineWaitMs))
      << terminal->dump();

  terminal->type(".kick 3");
  ASSERT_TRUE(cursorRowReads(*terminal, "> .kick 3")) << terminal->dump();
  replaceBobByEve(peer);
  ASSERT_TRUE(terminal->waitForRow("Eve has joined the game (ID: 3)", kLineWaitMs))
      << terminal->dump();
  terminal->type("\r");
  EXPECT_TRUE(terminal->waitForRow("* .kick: #3 is now Eve, not Bob: nothing done", kLineWaitMs))
      << terminal->dump();
  terminal->type("marker\r");
  EXPECT_FALSE(holds(sentBeforeMarker(peer), buildKickRequest(3)));

  // A line begun after Eve came means her.
  terminal->type(".kick 3\r");
  EXPECT_TRUE(terminal->waitForRow("* console:Admin kicked Eve", kLineWaitMs)) << terminal->dump();
  terminal->type("marker\r");
  EXPECT_TRUE(holds(sentBeforeMarker(peer), buildKickRequest(3)));
}

// The client at the console (input piped), the moderation on, with
// `players` on the server and `script` as its script.lua, when given.
std::unique_ptr<ClientProcess> consoleClient(LoopbackPeer& peer,
                                             const std::vector<ListedPlayer>& players,
                                             const std::optional<std::string>& script = {}) {
  auto client = std::make_unique<ClientProcess>(
      std::vector<std::string>{"127.0.0.1", std::to_string(peer.port()), "Admin", "pw"}, script,
      ClientProcess::defaultBinary(), std::nullopt, std::nullopt, ClientProcess::Input::kPipe);
  EXPECT_TRUE(acceptLogin(peer, players));
  EXPECT_TRUE(client->waitForLine("Successfully connected", kLineWaitMs)) << client->output();
  return client;
}

// `name` joins on `id`: the client's line about the ban, once the server
// was told to kick the player (and the player told why first).
std::string joinsBanned(LoopbackPeer& peer, ClientProcess& client, uint8_t id,
                        const std::string& name) {
  peer.send(playerJoined(id, name));
  std::optional<std::string> line = client.waitForLine(name + " is banned", kLineWaitMs);
  EXPECT_TRUE(line) << client.output();
  client.writeInput("marker\n");
  std::vector<Datagram> sent = sentBeforeMarker(peer);
  EXPECT_TRUE(holds(sent, buildKickRequest(id)));
  const std::string told = "/msg #" + std::to_string(id) + " You are banned";
  EXPECT_TRUE(std::any_of(sent.begin(), sent.end(), [&told](const Datagram& datagram) {
    return std::string(datagram.begin(), datagram.end()).find(told) != std::string::npos;
  })) << "the player is told why first";
  return line.value_or("");
}

void endClient(ClientProcess& client) {
  client.closeInput();
  client.kill(SIGTERM);
  EXPECT_EQ(client.waitExit(), 0);
}

// Guards a tempban of a player who has just left, which was refused ("no
// player") and so let the player straight back in.
TEST(TargetsConsoleTest, APlayerWhoLeftIsTempbannedAndKickedAtTheNextJoin) {
  LoopbackPeer peer;
  std::unique_ptr<ClientProcess> client = consoleClient(peer, {{3, "Bob"}, {4, "Dave"}});
  // Dave's details start his record, as a server answers the request.
  peer.send(playerDetails(4, "k-dave"));
  peer.send(playerLeft(wire::kQuitLeft, 4));
  ASSERT_TRUE(client->waitForLine("Dave has left the game", kLineWaitMs)) << client->output();

  std::string banned = answer(*client, ".tempban Dave 1h flood", "Dave");
  EXPECT_TRUE(std::regex_match(
      banned, std::regex(R"(\* console:Admin banned Dave for 1h, until .* UTC: flood\n)")))
      << banned;
  std::string kicked = joinsBanned(peer, *client, 6, "Dave");
  EXPECT_TRUE(
      std::regex_match(kicked, std::regex(R"(\* Dave is banned until .* UTC \(flood\): kicked)")))
      << kicked;
  endClient(*client);
}

// Guards a ban of a name that was never on the server, refused before
// though the name was all an admin had of a known cheater.
TEST(TargetsConsoleTest, ANameNeverSeenIsBannedAndKickedWhenItJoins) {
  LoopbackPeer peer;
  std::unique_ptr<ClientProcess> client = consoleClient(peer, {{3, "Bob"}});
  std::string banned = answer(*client, ".ban Zed cheat", "Zed");
  EXPECT_NE(banned.find("Zed (never seen)"), std::string::npos) << banned;
  EXPECT_EQ(banned.rfind("* console:Admin banned Zed", 0), 0u) << banned;
  EXPECT_EQ(joinsBanned(peer, *client, 7, "Zed"), "* Zed is banned permanently (cheat): kicked");
  endClient(*client);
}

// On "kick N" in the admin channel the script kicks player N.
const char kKickingScript[] = R"lua(
addEventHandler('onAdminChat', 'chat')
function chat(text)
  local id = tonumber(string.match(text, '^kick (%d+)$'))
  if not id then return end
  print('script: kicking')
  kickPlayer(id)
  print('script: kicked')
end
)lua";

// Guards a script's kick that left no trace: it sent the request alone and
// nobody could tell afterwards who had kicked the player.
TEST(TargetsConsoleTest, AScriptsKickPrintsNothingAndIsAuditedUnderTheScriptsName) {
  LoopbackPeer peer;
  std::unique_ptr<ClientProcess> client = consoleClient(peer, {{3, "Bob"}}, kKickingScript);
  peer.send(chatLine(0, 3, "kick 3"));
  ASSERT_TRUE(client->waitForLine("script: kicking", kLineWaitMs)) << client->output();
  EXPECT_EQ(client->nextLine(kLineWaitMs), "script: kicked");
  client->writeInput("marker\n");
  EXPECT_EQ(sentBeforeMarker(peer), std::vector<Datagram>{buildKickRequest(3)})
      << "the request alone, no message to the player";

  std::string audit = answer(*client, ".audit 1", "kick");
  EXPECT_TRUE(std::regex_match(
      audit, std::regex(R"(\* .* UTC script:script\.lua kick Bob on 127\.0\.0\.1:\d+\n)")))
      << audit;
  endClient(*client);
}

}  // namespace
}  // namespace gsadmin::testing
