// The operator's typed lines on an in-memory session: what each prints and
// what it sends.

#include "session/console_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "protocol/outbound.h"
#include "support/session_harness.h"

namespace gsadmin {
namespace {

using testing::Datagram;
using testing::SessionHarness;

// The private message a kick sends before it.
Datagram kicked(int id, const std::string& reason) {
  return buildChatFrame("/msg #" + std::to_string(id) + " Kicked: " + reason);
}

// Registers a handler for onConsoleCommand that echoes its arguments, so
// that the script's own print shows them.
const char kScript[] = R"(
function onConsoleCommand(word, rest)
  print("script got [" .. word .. "] [" .. rest .. "] " .. type(word) .. " " .. type(rest))
end
addEventHandler("onConsoleCommand", "onConsoleCommand")
answer = 42
)";

// A connected session with Alice (1), Bob (3) and Bobby (5).
class ConsoleCommandsTest : public ::testing::Test {
 protected:
  explicit ConsoleCommandsTest(const testing::SettingsTweak& tweak = nullptr)
      : harness_(std::string(kScript), defaults::kAdminName, defaults::kAdminPassword,
                 testing::Transport::kInMemory, tweak) {
    harness_.connect();
    harness_.addPlayer(1, "Alice");
    harness_.addPlayer(3, "Bob");
    harness_.addPlayer(5, "Bobby");
    harness_.sent();
    harness_.output();
  }

  // What typing `line` printed and sent.
  std::pair<std::string, std::vector<Datagram>> type(const std::string& line) {
    harness_.session().handleTypedLine(line);
    return {harness_.output(), harness_.sent()};
  }

  SessionHarness harness_;
};

TEST_F(ConsoleCommandsTest, LinesPrintAndSendWhatTheySay) {
  const std::string hint = "; .help lists the commands\n";
  const struct {
    std::string line;
    std::string output;
    std::vector<Datagram> sent;
  } cases[] = {
      // Chat, exactly as sendChat sends it: server commands too.
      {"hello all", "", {buildChatFrame("hello all")}},
      {"/msg #3 hi", "", {buildChatFrame("/msg #3 hi")}},
      {" .not a command", "", {buildChatFrame(" .not a command")}},
      {"", "", {}},
      // Players by id or whole name, ignoring case; .msg also by unique prefix.
      // A kick tells the player why, then kicks, and says so.
      {".kick 3",
       "* console:Admin kicked Bob\n",
       {kicked(3, "no reason given"), buildKickRequest(3)}},
      {".kick bob  for spam ",
       "* console:Admin kicked Bob: for spam\n",
       {kicked(3, "for spam"), buildKickRequest(3)}},
      {".kick BOBB",
       "* 'BOBB' only starts the name of 5 Bobby; .kick takes an id or a whole name\n",
       {}},
      {".ban al", "* 'al' only starts the name of 1 Alice; .ban takes an id or a whole name\n", {}},
      {".slap alice", "* console:Admin slapped Alice\n", {buildChatFrame("/slap Alice")}},
      {".msg bobby see you later", "", {buildChatFrame("/msg #5 see you later")}},
      {".msg al hi", "", {buildChatFrame("/msg #1 hi")}},
      {".kick bo", "* 'bo' matches 2 players: 3 Bob, 5 Bobby\n", {}},
      {".kick b", "* 'b' matches 2 players: 3 Bob, 5 Bobby\n", {}},
      {".slap zed", "* no player matches 'zed'" + hint, {}},
      {".kick", "* .kick needs a player" + hint, {}},
      {".ban   ", "* .ban needs a player" + hint, {}},
      {".msg bob", "* .msg needs a player and a text" + hint, {}},
      {".msg", "* .msg needs a player and a text" + hint, {}},
      // An id the model does not hold: the action says so.
      {".kick 9", "* .kick: no player has id 9\n", {}},
      {".msg 9 hi", "* .msg: no player has id 9\n", {}},
      {".kick 256", "* no player matches '256'" + hint, {}},
      // Unknown words without a handler of their own.
      {".", "* unknown command '.'" + hint, {}},
      // The script's own commands.
      {".greet Bob the brave", "script got [greet] [Bob the brave] string string\n", {}},
      {".greet", "script got [greet] [] string string\n", {}},
      // Lua in the script's state.
      {".lua return answer, 'x', nil, true", "* 42\tx\tnil\ttrue\n", {}},
      {".lua answer = answer + 1", "", {}},
      {".lua return answer", "* 43\n", {}},
      {".lua sendChat('from lua')", "", {buildChatFrame("from lua")}},
      {".lua kickPlayer(77)", "kickPlayer: No such player.\n", {}},
      {".lua return (", "* error: console:1: unexpected symbol near '<eof>'\n", {}},
      {".lua error('boom')", "* error: console:1: boom\n", {}},
      {".lua", "* .lua needs Lua code" + hint, {}},
  };
  for (const auto& c : cases) {
    auto [output, sent] = type(c.line);
    EXPECT_EQ(output, c.output) << c.line;
    EXPECT_EQ(sent, c.sent) << c.line;
  }
  EXPECT_FALSE(harness_.session().quitRequested());
  EXPECT_EQ(type(".quit").first, "");
  EXPECT_TRUE(harness_.session().quitRequested());
}

// Punishing commands never guess: once Bob has left, "Bob" only starts
// Bobby's name, and a name made of digits is no id.
TEST_F(ConsoleCommandsTest, PunishingCommandsNeedAnIdOrAWholeName) {
  harness_.deliver(testing::playerLeft(0, 3));
  harness_.addPlayer(9, "5");
  harness_.sent();
  harness_.output();
  const struct {
    std::string line;
    std::string output;
    std::vector<Datagram> sent;
  } cases[] = {
      {".slap Bob",
       "* 'Bob' only starts the name of 5 Bobby; .slap takes an id or a whole name\n",
       {}},
      {".ban BOB",
       "* 'BOB' only starts the name of 5 Bobby; .ban takes an id or a whole name\n",
       {}},
      {".kick 5", "* '5' is both the id of 5 Bobby and the name of 9 5\n", {}},
      {".msg 5 hi", "* '5' is both the id of 5 Bobby and the name of 9 5\n", {}},
      {".msg Bob hi", "", {buildChatFrame("/msg #5 hi")}},
      {".kick 9",
       "* console:Admin kicked 5\n",
       {kicked(9, "no reason given"), buildKickRequest(9)}},
      {".ban bobby", "* console:Admin banned Bobby\n", {buildBanRequest(5)}},
  };
  for (const auto& c : cases) {
    auto [output, sent] = type(c.line);
    EXPECT_EQ(output, c.output) << c.line;
    EXPECT_EQ(sent, c.sent) << c.line;
  }
}

TEST_F(ConsoleCommandsTest, TablesOfPlayersVehiclesAndServer) {
  // Bob drives vehicle 1 (the health is the vehicle's), Bobby rides in it.
  harness_.deliver(testing::positionUpdate(3, 1, 55.4f));
  harness_.deliver(testing::positionUpdate(5, 101, 80.0f));
  harness_.output();
  const Vehicle* vehicle = harness_.session().vehicles().find(1);
  ASSERT_NE(vehicle, nullptr);
  std::string name = vehicle->name.value_or("#1");
  name.resize(16, ' ');

  EXPECT_EQ(type(".players").first,
            "* ID  NAME             KILLS DEATHS HEALTH STATUS VEHICLE\n"
            "* 1   Alice            0     0      100    1      -\n"
            "* 3   Bob              0     0      100    1      " +
                vehicle->name.value_or("#1") +
                "\n"
                "* 5   Bobby            0     0      100    1      " +
                vehicle->name.value_or("#1") + "\n");
  EXPECT_EQ(type(".vehicles").first,
            "* ID  NAME             HEALTH DRIVER           PASSENGERS\n"
            "* 1   " +
                name + " 55     Bob              Bobby\n");
  // Those who got out are no longer listed, though the vehicle keeps them.
  harness_.deliver(testing::positionUpdate(3, 0, 100.0f));
  EXPECT_EQ(type(".vehicles").first,
            "* ID  NAME             HEALTH DRIVER           PASSENGERS\n"
            "* 1   " +
                name + " 55     -                Bobby\n");
  harness_.deliver(testing::positionUpdate(5, 0, 100.0f));
  EXPECT_EQ(type(".vehicles").first, "* no vehicle has a driver or passengers\n");

  harness_.clock().advance(2500);
  std::string server = type(".server").first;
  // The in-memory session only names the default port; it sends nothing.
  EXPECT_NE(server.find("* address:  127.0.0.1:4003\n"), std::string::npos) << server;
  EXPECT_NE(server.find("* name:     Test Server\n"), std::string::npos) << server;
  EXPECT_NE(server.find("* motd:     Welcome\n"), std::string::npos) << server;
  EXPECT_NE(server.find("* players:  3/32\n"), std::string::npos) << server;
  EXPECT_NE(server.find("* state:    connected\n"), std::string::npos) << server;
  EXPECT_NE(server.find("* last datagram: 2.5 s ago\n"), std::string::npos) << server;

  std::string help = type(".help").first;
  for (const Act* act : harness_.session().commands().typedActs(kConsoleDoor)) {
    EXPECT_NE(help.find("\n* " + Commands::usage(*act, kConsoleDoor)), std::string::npos)
        << act->name;
  }
}

// Under --no-moderation the console is as it was before the moderation:
// .kick and .ban send at once, take no reason and are not recorded, and
// the moderation's words are the scripts' to take.
class ConsoleCommandsWithoutModerationTest : public ConsoleCommandsTest {
 protected:
  ConsoleCommandsWithoutModerationTest()
      : ConsoleCommandsTest(
            [](SessionSettings& settings) { settings.moderation.enabled = false; }) {}
};

TEST_F(ConsoleCommandsWithoutModerationTest, KickAndBanAreAsTheyWere) {
  const struct {
    std::string line;
    std::string output;
    std::vector<Datagram> sent;
  } cases[] = {
      {".kick 3", "* console:Admin kicked Bob\n", {buildKickRequest(3)}},
      {".kick bob", "* console:Admin kicked Bob\n", {buildKickRequest(3)}},
      {".ban bobby", "* console:Admin banned Bobby\n", {buildBanRequest(5)}},
      {".kick 9", "* .kick: no player has id 9\n", {}},
      {".kick BOBB",
       "* 'BOBB' only starts the name of 5 Bobby; .kick takes an id or a whole name\n",
       {}},
      {".warn Bob spam", "script got [warn] [Bob spam] string string\n", {}},
      {".bans", "script got [bans] [] string string\n", {}},
  };
  for (const auto& c : cases) {
    auto [output, sent] = type(c.line);
    EXPECT_EQ(output, c.output) << c.line;
    EXPECT_EQ(sent, c.sent) << c.line;
  }
  // Players' "!" lines are only chat.
  harness_.deliver(testing::chatLine(3, 1, "!kick Bobby"));
  EXPECT_EQ(harness_.output(), "Bob: !kick Bobby\n");
  EXPECT_TRUE(harness_.sent().empty());
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(harness_.scriptPath()).parent_path() /
                                       "script.db"));

  std::string help = type(".help").first;
  EXPECT_NE(help.find("\n* .kick PLAYER [REASON]  kicks the player\n"), std::string::npos) << help;
  EXPECT_NE(help.find("\n* .ban PLAYER [REASON]  bans the player"), std::string::npos) << help;
  EXPECT_EQ(help.find(".warn"), std::string::npos) << help;
  EXPECT_EQ(help.find("DURATION"), std::string::npos) << help;
  for (const Act* act : harness_.session().commands().typedActs(kConsoleDoor)) {
    EXPECT_FALSE(act->moderation) << act->name;
  }
}

TEST(ConsoleCommandsWithoutScriptTest, UnknownWordsSayWhy) {
  SessionHarness harness;
  harness.output();
  harness.session().handleTypedLine(".greet x");
  harness.session().handleTypedLine(".\x1b[2J");
  harness.session().handleTypedLine(".players");
  harness.session().handleTypedLine(".vehicles");
  EXPECT_EQ(harness.output(),
            "* unknown command '.greet'; .help lists the commands\n"
            "* unknown command '.?[2J'; .help lists the commands\n"
            "* no players\n"
            "* no vehicle has a driver or passengers\n");
}

// Without a script, .lua runs in a console state of its own, set up as a
// script's, which lasts until a script loads.
TEST(ConsoleCommandsWithoutScriptTest, LuaRunsInAConsoleStateUntilAScriptLoads) {
  SessionHarness harness;
  harness.output();
  ScriptLimits limits;
  limits.budgetMs = 100;
  harness.session().scripts().setLimits(limits);
  const std::pair<const char*, const char*> lines[] = {
      {".lua x = 41", ""},
      {".lua return x + 1, type(getPlayerName), type(io), string.dump",
       "* 42\tfunction\tnil\tnil\n"},
      {".lua return {b = 2, a = 'x', 'one', 10, [2.5] = true}, {}",
       "* {1=one, 2=10, 2.5=true, a=x, b=2}\t{}\n"},
      {".lua getPlayerName('x')", "getPlayerName: Invalid Argument #1.\n"},
      {".lua while true do end", ""},  // stopped by the budget, see below
  };
  for (const auto& [line, output] : lines) {
    harness.session().handleTypedLine(line);
    std::string printed = harness.output();
    if (std::string_view(line).find("while") != std::string_view::npos) {
      EXPECT_EQ(printed.find("* error: console:1: ran longer than its budget"), 0u) << printed;
    } else {
      EXPECT_EQ(printed, output) << line;
    }
  }
  std::ofstream(harness.scriptPath()) << "y = 1";
  ASSERT_TRUE(harness.session().reloadScript());
  harness.output();
  harness.session().handleTypedLine(".lua return x, y");
  EXPECT_EQ(harness.output(), "* nil\t1\n");
}

}  // namespace
}  // namespace gsadmin
