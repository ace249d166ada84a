// The console on a real pseudo-terminal, through the real binary and a
// loopback server: the prompt stays below incoming lines, history survives a
// restart without ever holding the password, the keys that end a line or the
// client, and what is refused: a paste over the length limit, a history
// that is not a regular file.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "protocol/outbound.h"
#include "sim/server_messages.h"
#include "support/client_process.h"
#include "support/loopback_peer.h"
#include "support/terminal_process.h"
#include "support/text_file.h"

namespace gsadmin::testing {
namespace {

const char kUp[] = "\x1b[A";

std::string cursorRowText(const ScreenModel& screen) {
  std::vector<std::string> rows = screen.rows();
  size_t row = static_cast<size_t>(screen.cursorRow());
  return row < rows.size() ? rows[row] : "";
}

// Whether the row under the cursor comes to read `text` in time.
bool cursorRowBecomes(TerminalProcess& terminal, const std::string& text) {
  return terminal.waitFor([&text](const ScreenModel& s) { return cursorRowText(s) == text; });
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
  return readTextFile(path).value_or("");
}

// gsadmin on a terminal against `peer`, logged in with Bob listed. Its
// script and database paths are inside `home`, so it writes nowhere else.
class TerminalClient {
 public:
  // `script`, when given, becomes script.lua; `options` go before the others.
  TerminalClient(LoopbackPeer& peer, const std::string& home, const std::string& password,
                 const std::string& script = "", std::vector<std::string> options = {})
      : peer_(peer),
        script_(writeScript(home, script)),
        terminal_(ClientProcess::defaultBinary(),
                  withArguments(std::move(options),
                                {"--script=" + home + "/script.lua", "--db=" + home + "/script.db",
                                 "127.0.0.1", std::to_string(peer.port()), "Admin", password}),
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
  static std::vector<std::string> withArguments(std::vector<std::string> options,
                                                const std::vector<std::string>& arguments) {
    options.insert(options.end(), arguments.begin(), arguments.end());
    return options;
  }

  // Writes script.lua in `home` when there is one; the client starts without.
  static bool writeScript(const std::string& home, const std::string& script) {
    if (script.empty()) return false;
    std::ofstream(home + "/script.lua") << script;
    return true;
  }

  LoopbackPeer& peer_;
  bool script_;
  TerminalProcess terminal_;
};

TEST(ConsoleTerminalTest, PromptStaysBelowIncomingLinesAndHistoryOutlivesTheRun) {
  LoopbackPeer peer;
  TempDir home;
  {
    TerminalClient client(peer, home.path(), "pw");
    client.connect();
    client.terminal().type("hel");
    ASSERT_TRUE(cursorRowBecomes(client.terminal(), "> hel")) << client.terminal().dump();

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
  EXPECT_TRUE(cursorRowBecomes(again.terminal(), "> .players")) << again.terminal().dump();
  again.terminal().type(kUp);
  EXPECT_TRUE(cursorRowBecomes(again.terminal(), "> hello")) << again.terminal().dump();
  again.terminal().type("\r");
  EXPECT_EQ(again.nextCommand(), buildChatFrame("hello"));
  again.terminal().type(".quit\r");
  EXPECT_EQ(again.terminal().waitExit(), 0) << again.terminal().dump();
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
  EXPECT_TRUE(cursorRowBecomes(client.terminal(), "> after")) << client.terminal().dump();
  // Ctrl-C clears the recalled line; on the empty line it ends the client
  // as SIGINT does, history saved. The file shows the password line was
  // never remembered.
  ASSERT_TRUE(client.terminal().waitForCtrlCAsKey());
  client.terminal().type("\x03");
  EXPECT_TRUE(cursorRowBecomes(client.terminal(), ">")) << client.terminal().dump();
  client.terminal().type("\x03");
  EXPECT_EQ(client.terminal().waitExit(), 0) << client.terminal().dump();
  std::string history = readFile(home.path() + "/state/gsadmin/history");
  EXPECT_EQ(history, "after\n");
}

TEST(ConsoleTerminalTest, CtrlCClearsTheLineAndCtrlDEndsAsQuitDoes) {
  LoopbackPeer peer;
  TempDir home;
  TerminalClient client(peer, home.path(), "pw",
                        "function bye() print('script stopped') end\n"
                        "addEventHandler('onScriptStop', 'bye')\n");
  client.connect();
  client.terminal().type("/slap Bob");
  ASSERT_TRUE(cursorRowBecomes(client.terminal(), "> /slap Bob")) << client.terminal().dump();
  // Once the client waits for input again, Ctrl-C is its key, not SIGINT.
  ASSERT_TRUE(client.terminal().waitForCtrlCAsKey());
  client.terminal().type("\x03");
  EXPECT_TRUE(cursorRowBecomes(client.terminal(), ">")) << client.terminal().dump();
  client.terminal().type("hi\r");
  EXPECT_EQ(client.nextCommand(), buildChatFrame("hi"));

  client.terminal().type("\x04");
  EXPECT_EQ(client.terminal().waitExit(), 0) << client.terminal().dump();
  EXPECT_TRUE(client.terminal().waitForRow("script stopped")) << client.terminal().dump();
}

TEST(ConsoleTerminalTest, CtrlCStillStopsAScriptThatRunsWithoutLimit) {
  LoopbackPeer peer;
  TempDir home;
  TerminalClient client(peer, home.path(), "pw",
                        "function bye() print('script stopped') end\n"
                        "addEventHandler('onScriptStop', 'bye')\n",
                        {"--script-budget=0"});
  client.connect();
  client.terminal().type(".lua while true do end\r");
  // The prompt is drawn again before the line runs.
  ASSERT_TRUE(client.terminal().waitFor([](const ScreenModel& s) {
    return promptBelow(s, "> .lua while true do end", ">");
  })) << client.terminal().dump();
  client.terminal().type("\x03");
  EXPECT_EQ(client.terminal().waitExit(), 0) << client.terminal().dump();
  EXPECT_TRUE(client.terminal().waitForRow("script stopped")) << client.terminal().dump();
}

TEST(ConsoleTerminalTest, ALongPasteIsRefusedWholeAndThePromptGoesOn) {
  LoopbackPeer peer;
  TempDir home;
  TerminalClient client(peer, home.path(), "pw");
  client.connect();
  // Longer than the limit, with a command where a cut would leave a tail.
  client.terminal().type(std::string(4096, 'x') + "/slap Bob" + std::string(4000, 'y') + "\r");
  EXPECT_TRUE(client.terminal().waitFor(
      [](const ScreenModel& s) {
        return promptBelow(s, "* line too long (over 4096 bytes): ignored", ">");
      },
      10000))
      << client.terminal().dump();
  client.terminal().type("after\r");
  EXPECT_EQ(client.nextCommand(), buildChatFrame("after"));
  client.terminal().type(".quit\r");
  EXPECT_EQ(client.terminal().waitExit(), 0) << client.terminal().dump();
}

TEST(ConsoleTerminalTest, AFifoAtTheHistoryPathIsNeitherReadNorReplaced) {
  LoopbackPeer peer;
  TempDir home;
  std::string path = home.path() + "/state/gsadmin/history";
  std::filesystem::create_directories(home.path() + "/state/gsadmin");
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  TerminalClient client(peer, home.path(), "pw");
  client.connect();
  // The line is wider than the terminal: its rows are read as one.
  std::string said = "history: " + path + " is not a regular file; history is not read or kept";
  EXPECT_TRUE(client.terminal().waitFor([&](const ScreenModel& s) {
    std::string all;
    for (const std::string& row : s.rows()) all += row;
    return all.find(said) != std::string::npos;
  })) << client.terminal().dump();
  client.terminal().type(".players\r.quit\r");
  EXPECT_EQ(client.terminal().waitExit(), 0) << client.terminal().dump();
  struct stat info {};
  ASSERT_EQ(lstat(path.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

}  // namespace
}  // namespace gsadmin::testing
