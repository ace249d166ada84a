// The console on a real pseudo-terminal, through the real binary and a
// loopback server: the prompt stays below incoming lines, and history
// survives a restart without ever holding the password.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "protocol/outbound.h"
#include "sim/server_messages.h"
#include "support/client_process.h"
#include "support/loopback_peer.h"
#include "support/terminal_process.h"

namespace gsadmin::testing {
namespace {

const char kUp[] = "\x1b[A";

std::string cursorRowText(const ScreenModel& screen) {
  std::vector<std::string> rows = screen.rows();
  size_t row = static_cast<size_t>(screen.cursorRow());
  return row < rows.size() ? rows[row] : "";
}

// True once the cursor sits at the end of `text`, just below `above` (rows
// lose their trailing spaces, so an empty prompt is ">").
bool promptBelow(const ScreenModel& screen, const std::string& above, const std::string& text) {
  std::vector<std::string> rows = screen.rows();
  size_t row = static_cast<size_t>(screen.cursorRow());
  return row >= 1 && row < rows.size() && rows[row - 1] == above && rows[row] == text &&
         screen.cursorColumn() == static_cast<int>(std::max<size_t>(text.size(), 2));
}

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// gsadmin on a terminal against `peer`, logged in with Bob listed. Its
// script and database paths are inside `home`, so it writes nowhere else.
class TerminalClient {
 public:
  TerminalClient(LoopbackPeer& peer, const std::string& home, const std::string& password)
      : peer_(peer),
        terminal_(ClientProcess::defaultBinary(),
                  {"--script=" + home + "/script.lua", "--db=" + home + "/script.db", "127.0.0.1",
                   std::to_string(peer.port()), "Admin", password},
                  home) {}

  // Waits for the login, accepts it and waits for the prompt under the
  // connected line.
  void connect() {
    std::optional<Datagram> login = peer_.receive(5000);
    ASSERT_TRUE(login && (*login)[0] == 0x0D);
    peer_.send(connectionAccepted(ServerRecord(), {{3, "Bob"}}));
    ASSERT_TRUE(terminal_.waitFor([](const ScreenModel& s) {
      return promptBelow(s, "Successfully connected! 'Test Server' (Players: 1/32)", ">");
    })) << terminal_.dump();
  }

  // The next datagram other than a details request.
  std::optional<Datagram> nextCommand() {
    for (;;) {
      std::optional<Datagram> datagram = peer_.receive(5000);
      if (!datagram || (*datagram)[0] != 0x1D) return datagram;
    }
  }

  TerminalProcess& terminal() { return terminal_; }

 private:
  LoopbackPeer& peer_;
  TerminalProcess terminal_;
};

TEST(ConsoleTerminalTest, PromptStaysBelowIncomingLinesAndHistoryOutlivesTheRun) {
  LoopbackPeer peer;
  TempDir home;
  {
    TerminalClient client(peer, home.path(), "pw");
    client.connect();
    client.terminal().type("hel");
    ASSERT_TRUE(client.terminal().waitFor([](const ScreenModel& s) {
      return cursorRowText(s) == "> hel";
    })) << client.terminal().dump();

    peer.send(chatLine(3, 0, "hi admin"));
    EXPECT_TRUE(client.terminal().waitFor([](const ScreenModel& s) {
      return promptBelow(s, "Bob: hi admin", "> hel");
    })) << client.terminal().dump();

    client.terminal().type("lo\r");
    EXPECT_EQ(client.nextCommand(), buildChatFrame("hello"));
    client.terminal().type(".players\r");
    EXPECT_TRUE(client.terminal().waitFor([](const ScreenModel& s) {
      return promptBelow(s, "* 3   Bob              0     0      100    0      -", ">");
    })) << client.terminal().dump();
    client.terminal().type(".quit\r");
    EXPECT_EQ(client.terminal().waitExit(), 0);
  }
  EXPECT_EQ(readFile(home.path() + "/state/gsadmin/history"), "hello\n.players\n.quit\n");

  TerminalClient again(peer, home.path(), "pw");
  again.connect();
  again.terminal().type(std::string(kUp) + kUp);
  EXPECT_TRUE(again.terminal().waitFor([](const ScreenModel& s) {
    return cursorRowText(s) == "> .players";
  })) << again.terminal().dump();
  again.terminal().type(kUp);
  EXPECT_TRUE(again.terminal().waitFor([](const ScreenModel& s) {
    return cursorRowText(s) == "> hello";
  })) << again.terminal().dump();
  again.terminal().type("\r");
  EXPECT_EQ(again.nextCommand(), buildChatFrame("hello"));
  again.terminal().type("\x04");  // Ctrl-D on an empty line: input ends, the client goes on
  again.terminal().type(".quit\r");
  EXPECT_EQ(again.terminal().waitExit(500), -1) << again.terminal().dump();
}

TEST(ConsoleTerminalTest, LinesHoldingThePasswordNeverReachTheHistory) {
  LoopbackPeer peer;
  TempDir home;
  TerminalClient client(peer, home.path(), "s3cret");
  client.connect();
  client.terminal().type("/login s3cret\r");
  EXPECT_EQ(client.nextCommand(), buildChatFrame("/login s3cret"));
  client.terminal().type("after\r");
  EXPECT_EQ(client.nextCommand(), buildChatFrame("after"));
  // One key only: Ctrl-C follows once the editor has drawn what it recalled,
  // not while it may still be reading a second key.
  client.terminal().type(kUp);
  EXPECT_TRUE(client.terminal().waitFor([](const ScreenModel& s) {
    return cursorRowText(s) == "> after";
  })) << client.terminal().dump();
  // Ctrl-C ends the client as SIGINT does, history saved; the file shows the
  // password line was never remembered.
  client.terminal().type("\x03");
  EXPECT_EQ(client.terminal().waitExit(), 0) << client.terminal().dump();
  std::string history = readFile(home.path() + "/state/gsadmin/history");
  EXPECT_EQ(history, "after\n");
}

}  // namespace
}  // namespace gsadmin::testing
