// The operator's console through the real binary: lines piped in, the
// options that shape the console, and a real pseudo-terminal.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <regex>

#include "console/line_reader.h"
#include "protocol/outbound.h"
#include "sim/server_messages.h"
#include "support/admin_login.h"
#include "support/client_process.h"
#include "support/loopback_peer.h"

namespace gsadmin::testing {
namespace {

TEST(ConsoleEndToEndTest, PipedLinesWaitForTheServerThenRunAndEndWithTheInput) {
  LoopbackPeer peer;
  ClientProcess client({"--exit-on-eof", "127.0.0.1", std::to_string(peer.port()), "Admin", "pw"},
                       std::nullopt, ClientProcess::defaultBinary(), std::nullopt, std::nullopt,
                       ClientProcess::Input::kPipe);
  // Written before the login: they name players the server has not listed yet.
  client.writeInput("hello all\n\n.kick bob  spamming \n.slap BOBBY\n.kick bo\n.msg 9 hi\n.nope\n");
  ASSERT_TRUE(acceptLogin(peer, {{3, "Bob"}, {5, "Bobby"}}));
  EXPECT_EQ(nextCommand(peer), buildChatFrame("hello all"));
  // A kick tells the player why first, and says so on the console.
  EXPECT_EQ(nextCommand(peer), buildChatFrame("/msg #3 Kicked: spamming"));
  EXPECT_EQ(nextCommand(peer), buildKickRequest(3));
  EXPECT_EQ(nextCommand(peer), buildChatFrame("/slap Bobby"));
  EXPECT_EQ(client.waitForLine("* "), "* console:Admin kicked Bob: spamming");
  EXPECT_EQ(client.nextLine(), "* console:Admin slapped Bobby");
  EXPECT_EQ(client.nextLine(), "* 'bo' matches 2 players: 3 Bob, 5 Bobby");
  EXPECT_EQ(client.nextLine(), "* .msg: no player has id 9");
  EXPECT_EQ(client.nextLine(), "* unknown command '.nope'; .help lists the commands");
  EXPECT_EQ(client.waitExit(300), -1) << "still reading";

  client.writeInput("last words");  // no newline: the end of input ends it
  client.closeInput();
  EXPECT_EQ(client.waitExit(5000), 0);
  EXPECT_EQ(nextCommand(peer), buildChatFrame("last words"));
  EXPECT_TRUE(peer.drain().empty());
}

// One-shot use (--exit-on-eof) with a piped command.
std::unique_ptr<ClientProcess> oneShot(const LoopbackPeer& peer, const std::string& command,
                                       std::vector<std::string> options = {}) {
  options.insert(options.end(),
                 {"--exit-on-eof", "127.0.0.1", std::to_string(peer.port()), "Admin", "pw"});
  auto client =
      std::make_unique<ClientProcess>(options, std::nullopt, ClientProcess::defaultBinary(),
                                      std::nullopt, std::nullopt, ClientProcess::Input::kPipe);
  client->writeInput(command);
  client->closeInput();
  return client;
}

TEST(ConsoleEndToEndTest, OneShotUseGivesUpOnASilentServerOrARefusedLogin) {
  LoopbackPeer silent;
  std::unique_ptr<ClientProcess> waiting = oneShot(silent, ".kick 3\n", {"--connect-timeout=1"});
  EXPECT_EQ(waiting->waitExit(8000), 3);
  EXPECT_EQ(waiting->waitForLine("ERROR: "),
            "ERROR: Not connected to 127.0.0.1:" + std::to_string(silent.port()) + " within 1 s");
  std::optional<Datagram> login = silent.receive(1000);
  ASSERT_TRUE(login);
  EXPECT_EQ((*login)[0], 0x0D);
  EXPECT_TRUE(silent.drain().empty()) << "no command without a login";

  LoopbackPeer refusing;
  std::unique_ptr<ClientProcess> refused = oneShot(refusing, ".kick 3\n");
  ASSERT_TRUE(refusing.receive(5000));
  refusing.send(disconnectReason(wire::kDisconnectWrongPassword));
  EXPECT_EQ(refused->waitExit(5000), 4);
  EXPECT_EQ(refused->waitForLine("Disconnected"), "Disconnected: Incorrect password.");
  EXPECT_EQ(refused->nextLine(), "ERROR: Login refused by the server");
  EXPECT_TRUE(refusing.drain().empty());
}

TEST(ConsoleEndToEndTest, OneShotUseEndsOnceTheServerHasAnswered) {
  LoopbackPeer peer;
  std::unique_ptr<ClientProcess> client = oneShot(peer, ".kick bob\n");
  ASSERT_TRUE(acceptLogin(peer, {{3, "Bob"}}));
  EXPECT_EQ(nextCommand(peer), buildChatFrame("/msg #3 Kicked: no reason given"));
  EXPECT_EQ(nextCommand(peer), buildKickRequest(3));
  EXPECT_EQ(client->waitExit(300), -1) << "ended before the server answered";
  peer.send(playerLeft(wire::kQuitKicked, 3));  // kicked
  EXPECT_EQ(client->waitExit(5000), 0);
  EXPECT_TRUE(client->waitForLine("Bob has been kicked")) << client->output();
}

TEST(ConsoleEndToEndTest, PunishingCommandsTakeNoStartOfANameAndNoIdThatIsAlsoAName) {
  LoopbackPeer peer;
  std::unique_ptr<ClientProcess> client =
      oneShot(peer, ".slap Bob\n.ban BOB\n.kick 5\n.msg Bob hi\n");
  ASSERT_TRUE(acceptLogin(peer, {{6, "Bobby"}, {5, "Tom"}, {9, "5"}}));
  EXPECT_EQ(nextCommand(peer), buildChatFrame("/msg #6 hi"));
  peer.send(chatLine(0, 3, "/msg #6 hi"));
  EXPECT_EQ(client->waitExit(5000), 0);
  EXPECT_EQ(client->waitForLine("* "),
            "* 'Bob' only starts the name of 6 Bobby; .slap takes an id or a whole name");
  EXPECT_EQ(client->nextLine(),
            "* 'BOB' only starts the name of 6 Bobby; .ban takes an id or a whole name");
  EXPECT_EQ(client->nextLine(), "* '5' is both the id of 5 Tom and the name of 9 5");
  EXPECT_TRUE(peer.drain().empty());
}

// Under --no-moderation .kick and .ban send the request alone (a reason
// is not kept), the moderation's words are unknown, and no database is
// made.
TEST(ConsoleEndToEndTest, WithoutModerationKickAndBanAreAsTheyWere) {
  LoopbackPeer peer;
  std::unique_ptr<ClientProcess> client =
      oneShot(peer, ".kick bob spamming\n.ban 5\n.warn 5 x\n", {"--no-moderation"});
  ASSERT_TRUE(acceptLogin(peer, {{3, "Bob"}, {5, "Bobby"}}));
  EXPECT_EQ(client->waitForLine("* "), "* console:Admin kicked Bob");
  EXPECT_EQ(nextCommand(peer), buildKickRequest(3));
  EXPECT_EQ(nextCommand(peer), buildBanRequest(5));
  EXPECT_EQ(client->nextLine(), "* console:Admin banned Bobby");
  EXPECT_EQ(client->nextLine(), "* unknown command '.warn'; .help lists the commands");
  peer.send(playerLeft(wire::kQuitKicked, 5));
  EXPECT_EQ(client->waitExit(5000), 0);
  EXPECT_TRUE(peer.drain().empty());
  EXPECT_FALSE(std::filesystem::exists(client->directory() + "/script.db"));
}

TEST(ConsoleEndToEndTest, EmptyInputChangesNothingAndNoInputReadsNothing) {
  LoopbackPeer peer;
  // Standard input is /dev/null here, as for every other test of the binary.
  ClientProcess quiet({"127.0.0.1", std::to_string(peer.port()), "Admin", "pw"}, std::nullopt);
  ASSERT_TRUE(acceptLogin(peer, {{3, "Bob"}}));
  EXPECT_EQ(quiet.waitForLine("Successfully"),
            "Successfully connected! 'Test Server' (Players: 1/32)");
  peer.send(chatLine(3, 0, "hi"));
  EXPECT_EQ(quiet.nextLine(), "Bob: hi");
  EXPECT_EQ(quiet.waitExit(300), -1) << "the end of input does not end the client";
  quiet.kill(SIGTERM);
  EXPECT_EQ(quiet.waitExit(), 0);
  EXPECT_EQ(quiet.output().find("* "), std::string::npos) << quiet.output();
  EXPECT_EQ(quiet.output().find('\x1b'), std::string::npos) << quiet.output();

  LoopbackPeer peer2;
  ClientProcess deaf(
      {"--no-input", "--exit-on-eof", "127.0.0.1", std::to_string(peer2.port()), "Admin", "pw"},
      std::nullopt, ClientProcess::defaultBinary(), std::nullopt, std::nullopt,
      ClientProcess::Input::kPipe);
  ASSERT_TRUE(acceptLogin(peer2, {}));
  deaf.writeInput("hello\n.quit\n");
  deaf.closeInput();
  EXPECT_EQ(deaf.waitExit(500), -1) << "--no-input never reads, so it never ends";
  EXPECT_FALSE(nextCommand(peer2).has_value());
}

TEST(ConsoleEndToEndTest, PasswordFileReplacesThePasswordOrIsRefused) {
  LoopbackPeer peer;
  TempDir dir;
  dir.write("private", "fromfile\nignored\n");
  dir.write("shared", "fromfile\n");
  ASSERT_EQ(chmod((dir.path() + "/private").c_str(), 0600), 0);
  ASSERT_EQ(chmod((dir.path() + "/shared").c_str(), 0644), 0);
  const std::string port = std::to_string(peer.port());

  for (const std::string file : {"shared", "missing"}) {
    ClientProcess refused(
        {"--password-file=" + dir.path() + "/" + file, "127.0.0.1", port, "Admin", "argv"},
        std::nullopt);
    EXPECT_EQ(refused.waitExit(), 2) << file;
    std::string error = refused.errorOutput();
    EXPECT_EQ(error.rfind("gsadmin: --password-file: ", 0), 0u) << error;
    EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
    EXPECT_FALSE(peer.receive(200).has_value()) << "no login without the password";
  }

  ClientProcess client({"--no-input", "--password-file", dir.path() + "/private", "127.0.0.1", port,
                        "Admin", "argv"},
                       std::nullopt);
  std::optional<Datagram> login = peer.receive(5000);
  ASSERT_TRUE(login);
  std::string text(login->begin(), login->end());
  EXPECT_NE(text.find("Admin|fromfile"), std::string::npos);
  EXPECT_EQ(text.find("argv"), std::string::npos);
}

TEST(ConsoleEndToEndTest, TimestampsScriptAndDatabasePaths) {
  LoopbackPeer peer;
  TempDir dir;
  std::filesystem::create_directory(dir.path() + "/bots");
  dir.write("bots/a.lua", "dbExec('CREATE TABLE t (x)') print('a.lua ran')\n");
  ClientProcess client({"--timestamps", "--no-input", "--script=bots/a.lua", "127.0.0.1",
                        std::to_string(peer.port()), "Admin", "pw"},
                       std::nullopt, ClientProcess::defaultBinary(), std::nullopt, dir.path());
  std::optional<std::string> ran = client.waitForLine("a.lua ran");
  ASSERT_TRUE(ran);
  EXPECT_TRUE(
      std::regex_match(*ran, std::regex(R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\] a\.lua ran)")))
      << *ran;
  std::optional<std::string> connecting = client.waitForLine("Connecting to");
  ASSERT_TRUE(connecting);
  EXPECT_EQ(connecting->substr(21),
            " Connecting to 127.0.0.1:" + std::to_string(peer.port()) + " as Admin...");
  EXPECT_TRUE(std::filesystem::exists(dir.path() + "/bots/script.db"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "/script.db"));

  ClientProcess elsewhere({"--no-input", "--script=bots/a.lua", "--db=" + dir.path() + "/x.db",
                           "127.0.0.1", std::to_string(peer.port()), "Admin", "pw"},
                          std::nullopt, ClientProcess::defaultBinary(), std::nullopt, dir.path());
  ASSERT_TRUE(elsewhere.waitForLine("a.lua ran"));
  EXPECT_TRUE(std::filesystem::exists(dir.path() + "/x.db"));
}

TEST(ConsoleEndToEndTest, AnOverlongPipedLineIsRefusedWholeAndItsTailNeverRuns) {
  LoopbackPeer peer;
  ClientProcess client({"--exit-on-eof", "127.0.0.1", std::to_string(peer.port()), "Admin", "pw"},
                       std::nullopt, ClientProcess::defaultBinary(), std::nullopt, std::nullopt,
                       ClientProcess::Input::kPipe);
  ASSERT_TRUE(acceptLogin(peer, {{3, "Bob"}}));
  // Cut at the limit, the line would leave "/slap Bob" as a line of its own.
  std::string note = ".note " + std::string(LineReader::kMaxLineBytes - 6, '0') + "/slap Bob";
  client.writeInput(note + "\nafter\n");
  EXPECT_EQ(client.waitForLine("* "), "* line too long (over 65536 bytes): ignored");
  EXPECT_EQ(nextCommand(peer), buildChatFrame("after"));
  client.closeInput();
  EXPECT_EQ(client.waitExit(5000), 0);
  EXPECT_TRUE(peer.drain().empty());
}

}  // namespace
}  // namespace gsadmin::testing
