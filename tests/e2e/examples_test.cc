// The example scripts and the demo, run by the real client against the real
// simulator: what the scripts made the client send, as the simulator saw
// it, and what the client printed.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "support/client_process.h"
#include "support/console_lines.h"
#include "support/examples_copy.h"
#include "support/terminal_process.h"
#include "support/text_file.h"

namespace gsadmin::testing {
namespace {

const std::string kSourceDir = GSADMIN_SOURCE_DIR;

std::string readFile(const std::string& path) {
  return readTextFile(path).value_or("");
}

// The simulator on a free port, started with `flags`.
std::unique_ptr<ClientProcess> startSimulator(const std::vector<std::string>& flags,
                                              uint16_t& port) {
  std::vector<std::string> args = {"--port", "0"};
  args.insert(args.end(), flags.begin(), flags.end());
  auto sim = std::make_unique<ClientProcess>(args, std::nullopt, GSADMIN_SIM_PATH);
  port = listeningPort(*sim);
  EXPECT_NE(port, 0) << sim->output();
  return sim;
}

// The simulator on a free port playing `flags`' scenario, and the client
// running examples/<script> against it, with the example's settings file
// beside it, in `directory` when given (so a second match finds the first
// one's database).
class Match {
 public:
  // `scriptText`, when given, runs in place of the example's own text;
  // `moreSettings` are lines after the example's own settings.
  Match(const std::vector<std::string>& simFlags, const std::string& script,
        const std::optional<std::string>& directory = std::nullopt,
        const std::optional<std::string>& scriptText = std::nullopt,
        const std::string& moreSettings = "") {
    uint16_t port = 0;
    sim_ = startSimulator(simFlags, port);
    std::string where = directory.value_or(dir_.path());
    std::string settings = kSourceDir + "/examples/" + script;
    settings.replace(settings.size() - 4, 4, ".conf");
    std::ofstream(where + "/script.conf", std::ios::binary) << readFile(settings) << moreSettings;
    client_ = std::make_unique<ClientProcess>(
        std::vector<std::string>{"127.0.0.1", std::to_string(port), "Admin", "73519"},
        scriptText.value_or(readFile(kSourceDir + "/examples/" + script)),
        ClientProcess::defaultBinary(), std::nullopt, where);
  }

  // Plays a --once scenario to its end; then both outputs are complete.
  void playToEnd() {
    EXPECT_EQ(sim_->waitExit(20000), 0);
    sim_->readToEnd();
    client_->readToEnd(300);
  }

  const std::string& simLog() const { return sim_->output(); }
  const std::string& console() const { return client_->output(); }
  ClientProcess& client() { return *client_; }

 private:
  TempDir dir_;  // where the client runs unless told
  std::unique_ptr<ClientProcess> sim_;
  std::unique_ptr<ClientProcess> client_;
};

std::vector<std::string> onceWith(const std::string& scenario) {
  return {"--scenario", kSourceDir + "/examples/" + scenario, "--once", "--speed", "4"};
}

TEST(ExamplesTest, BadWordsWarnsThenKicks) {
  Match match(onceWith("bad_words.txt"), "bad_words.lua");
  match.playToEnd();
  const std::string& sim = match.simLog();
  EXPECT_EQ(occurrences(sim, "admin message to"), 1) << sim;
  EXPECT_EQ(occurrences(sim, "admin message to Troll (id 1): Please keep it clean"), 1) << sim;
  EXPECT_EQ(occurrences(sim, "admin chat: Troll was kicked for bad language."), 1) << sim;
  EXPECT_EQ(occurrences(sim, "admin kicks Troll (id 1)"), 1) << sim;
  EXPECT_EQ(occurrences(sim, "chat skipped: Troll is not on the server"), 1) << sim;
  const std::string& console = match.console();
  EXPECT_EQ(occurrences(console, "PM SENT: Troll: Please keep it clean, or you will be kicked."), 1)
      << console;
  EXPECT_EQ(occurrences(console, "Troll has been kicked from the game"), 1) << console;
  EXPECT_EQ(occurrences(console, "LUA: Error"), 0) << console;
}

TEST(ExamplesTest, TeamKillWarnsSlapsThenKicks) {
  Match match(onceWith("team_kill.txt"), "team_kill.lua");
  match.playToEnd();
  const std::string& sim = match.simLog();
  EXPECT_EQ(occurrences(sim, "admin message to [RED]Ann (id 0): Do not shoot your own team"), 1)
      << sim;
  EXPECT_EQ(occurrences(sim, "admin message to [RED]Ann (id 0): Second team kill"), 1) << sim;
  EXPECT_EQ(occurrences(sim, "admin message to"), 2) << "killing the other team is fine: " << sim;
  EXPECT_EQ(occurrences(sim, "admin slaps [RED]Ann: health 90.0"), 1) << sim;
  EXPECT_EQ(occurrences(sim, "admin kicks [RED]Ann (id 0)"), 1) << sim;
  const std::string& console = match.console();
  EXPECT_EQ(occurrences(console, "[RED]Ann killed [RED]Bo (Shotgun)"), 1) << console;
  EXPECT_EQ(occurrences(console, "[RED]Ann has been kicked from the game"), 1) << console;
  EXPECT_EQ(occurrences(console, "LUA: Error"), 0) << console;
}

TEST(ExamplesTest, WelcomeBackByName) {
  Match match(onceWith("welcome_back.txt"), "welcome_back.lua");
  match.playToEnd();
  const std::string& sim = match.simLog();
  EXPECT_EQ(occurrences(sim, "admin chat: Welcome, Ann!"), 1) << sim;
  EXPECT_EQ(occurrences(sim, "admin chat: Welcome, Bo!"), 1) << sim;
  EXPECT_EQ(occurrences(sim, "admin chat: Welcome back, Bo! Visit number 2."), 1) << sim;
  EXPECT_EQ(occurrences(sim, "admin chat: Welcome back, Bo! Visit number 3."), 1) << sim;
  EXPECT_EQ(occurrences(sim, "admin chat: Welcome, Cy!"), 1) << sim;
  EXPECT_EQ(occurrences(match.console(), "ADMIN: Welcome back, Bo! Visit number 3."), 1)
      << match.console();
}

TEST(ExamplesTest, PersistentStatsAddUpAcrossRestarts) {
  TempDir dir;
  {
    Match match(onceWith("persistent_stats.txt"), "persistent_stats.lua", dir.path());
    match.playToEnd();
    const std::string& sim = match.simLog();
    EXPECT_EQ(occurrences(sim, "admin chat: 1. Ann: 2 kills, 1 deaths"), 1) << sim;
    EXPECT_EQ(occurrences(sim, "admin chat: 2. Bo: 1 kills, 2 deaths"), 1) << sim;
    EXPECT_EQ(occurrences(sim, "admin chat: 3. Cy: 0 kills, 0 deaths"), 1) << sim;
    EXPECT_EQ(occurrences(sim, "admin chat: Cy was last seen 20"), 1) << sim;
    EXPECT_EQ(occurrences(sim, "admin chat: I have never seen Nobody."), 1) << sim;
    EXPECT_EQ(occurrences(match.console(), "LUA: Error"), 0) << match.console();
    EXPECT_EQ(occurrences(match.console(), "dbExec:") + occurrences(match.console(), "dbQuery:"), 0)
        << match.console();
  }
  Match again(onceWith("persistent_stats.txt"), "persistent_stats.lua", dir.path());
  again.playToEnd();
  const std::string& sim = again.simLog();
  EXPECT_EQ(occurrences(sim, "admin chat: 1. Ann: 4 kills, 2 deaths"), 1) << sim;
  EXPECT_EQ(occurrences(sim, "admin chat: 2. Bo: 2 kills, 4 deaths"), 1) << sim;
}

// A driver script of the test's own punishes through the moderation API
// as the scenario plays; sanction_notice.lua, loaded beside it, says each
// sanction in public chat, and the client enforces the timed ban at the
// next join.
TEST(ExamplesTest, SanctionNoticeSaysTheClientsSanctionsInPublic) {
  TempDir dir;
  for (const char* file : {"sanction_notice.lua", "sanction_notice.conf"}) {
    dir.write(file, readFile(kSourceDir + "/examples/" + file));
  }
  dir.write("driver.lua",
            "function drive(id, text)\n"
            "  if text == 'BUY GOLD cheap' then warnPlayer(id, 'advertising') end\n"
            "  if text == 'lol your base is gone' then tempbanPlayer(id, 7200, 'griefing') end\n"
            "end\n"
            "addEventHandler('onPlayerChat', 'drive')\n");
  uint16_t port = 0;
  std::unique_ptr<ClientProcess> sim = startSimulator(onceWith("sanction_notice.txt"), port);
  ClientProcess client(
      {"--script=" + dir.path(), "127.0.0.1", std::to_string(port), "Admin", "73519"}, std::nullopt,
      ClientProcess::defaultBinary(), std::nullopt, dir.path());
  EXPECT_EQ(sim->waitExit(20000), 0);
  sim->readToEnd();
  client.readToEnd(300);
  const std::string& log = sim->output();
  EXPECT_EQ(
      occurrences(log, "admin message to Troll (id 1): Warning 1 of 3 before a kick: advertising"),
      1)
      << log;
  EXPECT_EQ(
      occurrences(log, "admin message to Troll (id 1): Warning 3 of 5 before a ban: advertising"),
      1)
      << log;
  EXPECT_EQ(occurrences(log, "was warned"), 0) << "warnings stay private: " << log;
  EXPECT_EQ(occurrences(log, "admin chat: Troll was kicked: 3 warnings"), 1) << log;
  EXPECT_EQ(occurrences(log, "admin kicks Troll"), 1) << log;
  EXPECT_EQ(occurrences(log, "admin chat: Griefer is banned for 2h: griefing"), 1) << log;
  EXPECT_EQ(occurrences(log, "admin kicks Griefer"), 2) << "again at the next join: " << log;
  EXPECT_EQ(occurrences(log, "left): griefing"), 2) << "told at the ban and at the join: " << log;
  const std::string& console = client.output();
  EXPECT_EQ(occurrences(console, "* script:driver.lua warned Troll (3 active): advertising"), 1)
      << console;
  EXPECT_EQ(occurrences(console, "* script:driver.lua kicked Troll: 3 warnings"), 1) << console;
  EXPECT_EQ(occurrences(console, "* Griefer is banned until "), 1) << console;
  EXPECT_EQ(occurrences(console, "LUA: Error"), 0) << console;
}

TEST(ExamplesTest, AnnouncerRotatesItsMessagesWhilePlayersAreOn) {
  Match match(onceWith("announcer.txt"), "announcer.lua", std::nullopt, std::nullopt,
              "interval = 0.25\n");
  match.playToEnd();
  const std::string& sim = match.simLog();
  EXPECT_GE(occurrences(sim, "admin chat: Welcome to the server! Be nice, play fair."), 1) << sim;
  EXPECT_GE(occurrences(sim, "admin chat: 2 players online. Server time is "), 1) << sim;
  EXPECT_GE(occurrences(sim, "admin chat: Found a cheater? Tell an admin with /msg."), 1) << sim;
  EXPECT_EQ(occurrences(match.console(), "LUA: Error"), 0) << match.console();
}

TEST(ExamplesTest, KillFeedAnnouncesAndAnswersFromDeathEvents) {
  Match match(onceWith("kill_feed.txt"), "kill_feed.lua");
  match.playToEnd();
  const std::string& sim = match.simLog();
  EXPECT_EQ(occurrences(sim, "admin chat: First blood"), 1) << sim;
  EXPECT_EQ(occurrences(sim, "admin chat: First blood: Ann (M4)"), 1) << sim;
  EXPECT_EQ(occurrences(sim, "admin chat: Ann is on a killing spree (3 in a row)"), 1) << sim;
  EXPECT_EQ(occurrences(sim, "killing spree"), 1) << sim;
  EXPECT_EQ(occurrences(sim, "admin message to Ann (id 0): kills 3, deaths 2, best streak 3"), 1)
      << sim;
  EXPECT_EQ(occurrences(sim, "admin chat: Top: 1. Ann 3, 2. Bo 1, 3. Cy 0"), 1) << sim;
  EXPECT_EQ(occurrences(match.console(), "LUA: Error"), 0) << match.console();
}

// Every example at once, loaded from a copy of the examples directory, in
// one match of examples/all.txt: each does its part, none answers another's
// command or greets a player a second time.
TEST(ExamplesTest, AllExamplesTogetherFromTheirDirectory) {
  TempDir dir;
  copyExamples(kSourceDir + "/examples", dir.path());
  uint16_t port = 0;
  std::unique_ptr<ClientProcess> sim = startSimulator(onceWith("all.txt"), port);
  ClientProcess client(
      {"--script=" + dir.path(), "127.0.0.1", std::to_string(port), "Admin", "73519"}, std::nullopt,
      ClientProcess::defaultBinary(), std::nullopt, dir.path());
  for (std::optional<std::string> line = client.nextLine(8000);
       !line || line->find("Successfully connected!") == std::string::npos;
       line = client.nextLine(8000)) {
    ASSERT_TRUE(line) << client.output();
  }
  EXPECT_EQ(sim->waitExit(30000), 0);
  sim->readToEnd();
  client.readToEnd(300);
  const std::string& log = sim->output();
  for (const char* line : {
           "admin chat: Welcome back, Cy! Visit number 2.",  // welcome_back
           "admin message to Ann (id 0): Commands: !next !streak !top !alltime !seen !stats "
           "!players !server",                                              // one list
           "admin message to Ann (id 0): Kills: 0, deaths: 0",              // script
           "admin message to Ann (id 0): Unknown command !bogus",           // script
           "admin chat: First blood: Ann (M4)",                             // kill_feed
           "admin message to Bo (id 1): kills 0, deaths 1, best streak 0",  // kill_feed
           "admin chat: Top: 1. Ann 1",                                     // kill_feed
           "admin chat: 1. Ann: 1 kills, 0 deaths",                         // persistent_stats
           "admin chat: Ann was last seen 20",                              // persistent_stats
           "admin chat: Welcome to the server! Be nice, play fair.",        // announcer
           "admin message to [RED]Dee (id 2): Do not shoot your own team",  // team_kill
           "admin message to Bo (id 1): Please keep it clean",              // bad_words
           "admin chat: Bo was kicked for bad language.",                   // bad_words
           "admin kicks Bo (id 1)",                                         // bad_words
       }) {
    EXPECT_EQ(occurrences(log, line), 1) << line << "\n" << log;
  }
  EXPECT_EQ(occurrences(log, "Unknown command"), 1) << log;
  for (const char* name : {"Ann", "Bo", "Cy", "[RED]Dee", "[RED]Eve", "Troll"}) {
    EXPECT_EQ(occurrences(log, std::string("admin chat: Welcome, ") + name + "!"), 1)
        << name << log;
  }
  EXPECT_EQ(occurrences(log, "admin chat: Welcome, "), 6) << log;
  const std::string& console = client.output();
  for (const char* name : {"announcer", "bad_words", "kill_feed", "persistent_stats",
                           "sanction_notice", "script", "team_chat", "team_kill", "welcome_back"}) {
    std::string loaded = std::string("LUA: Script '") + name + ".lua' loaded.";
    EXPECT_EQ(occurrences(console, loaded), 1) << loaded << "\n" << console;
  }
  // Lua errors and bad settings lines name their file on standard error.
  EXPECT_EQ(occurrences(client.errorOutput(), ".lua:"), 0) << client.errorOutput();
  EXPECT_EQ(occurrences(client.errorOutput(), ".conf:"), 0) << client.errorOutput();
  for (const char* refusal : {"LUA: Error", "LUA: Unable", "callScript:", "dbExec:", "dbQuery:",
                              "getSetting:", ": Invalid", ": No such"}) {
    EXPECT_EQ(occurrences(console, refusal), 0) << refusal << "\n" << console;
  }
}

TEST(ExamplesTest, DemoScriptGreetsAnswersAndReportsVehicles) {
  Match match({"--speed", "4"}, "script.lua", std::nullopt, std::nullopt,
              "greeting = Welcome, {name}! Say !help for commands.\n");
  ClientProcess& client = match.client();
  // In the order the demo plays them.
  for (const char* line :
       {"LUA: Script 'script.lua' loaded.",
        "Successfully connected! 'gsadmin-sim demo server' (Players: 2/16)",
        "[script] connected to gsadmin-sim demo server - Welcome to the demo",
        "ADMIN: Welcome, Alice! Say !help for commands.", "Carol has joined the game (ID: 2)",
        "PM SENT: Bob: Kills: 0, deaths: 0", "[script] Alice got into Cheetah (vehicle 5)",
        "[script] Bob got into Cheetah (vehicle 5)",
        "[script] Alice got out of Cheetah (vehicle 5)",
        "Carol to Alice: meet me at the lighthouse", "Alice killed Carol (M4)"}) {
    EXPECT_TRUE(client.waitForLine(line, 8000)) << line << "\n" << client.output();
  }
  EXPECT_EQ(occurrences(client.output(), "LUA: Error"), 0) << client.output();
  EXPECT_EQ(occurrences(client.output(), ": Invalid"), 0) << client.output();
}

// scripts/demo, as make demo runs it, on a free port: both programs start,
// and a signal to the script ends both.
TEST(ExamplesTest, DemoScriptRunsBothAndLeavesNothingBehind) {
  std::string binary = ClientProcess::defaultBinary();
  setenv("GSADMIN_BUILD_DIR", binary.substr(0, binary.rfind('/')).c_str(), 1);
  setenv("GSADMIN_DEMO_PORT", "0", 1);
  setenv("GSADMIN_SIM_FLAGS", "--speed 4", 1);
  TempDir logDir;
  setenv("GSADMIN_DEMO_LOG", (logDir.path() + "/sim.log").c_str(), 1);
  ClientProcess demo({}, std::nullopt, kSourceDir + "/scripts/demo");
  for (const char* name :
       {"GSADMIN_BUILD_DIR", "GSADMIN_DEMO_PORT", "GSADMIN_SIM_FLAGS", "GSADMIN_DEMO_LOG"}) {
    unsetenv(name);
  }

  std::optional<std::string> simLine = demo.waitForLine("demo: simulator (pid ");
  ASSERT_TRUE(simLine) << demo.output();
  pid_t sim = std::atoi(simLine->c_str() + simLine->find("pid ") + 4);
  std::optional<std::string> clientLine = demo.waitForLine("demo: client (pid ");
  ASSERT_TRUE(clientLine) << demo.output();
  pid_t client = std::atoi(clientLine->c_str() + clientLine->find("pid ") + 4);
  EXPECT_TRUE(demo.waitForLine("Successfully connected!", 8000)) << demo.output();
  EXPECT_TRUE(demo.waitForLine("ADMIN: Welcome, ", 8000)) << demo.output();
  EXPECT_TRUE(demo.waitForLine("has joined the game", 8000)) << demo.output();

  demo.kill(SIGINT);
  EXPECT_EQ(demo.waitExit(5000), 0);
  EXPECT_NE(::kill(sim, 0), 0) << "the simulator is still running";
  EXPECT_EQ(errno, ESRCH);
  EXPECT_NE(::kill(client, 0), 0) << "the client is still running";
  EXPECT_EQ(errno, ESRCH);
  EXPECT_EQ(occurrences(demo.output(), "LUA: Error"), 0) << demo.output();
  EXPECT_NE(readFile(logDir.path() + "/sim.log").find("accepted"), std::string::npos);
}

bool screenHas(const ScreenModel& screen, const std::string& text) {
  for (const std::string& row : screen.rows()) {
    if (row.find(text) != std::string::npos) return true;
  }
  return false;
}

// make demo on a terminal: the client's console is the terminal, and Ctrl-C
// ends the client, the simulator and the script with status 0.
TEST(ExamplesTest, DemoOnATerminalHasAConsoleAndCtrlCEndsItCleanly) {
  std::string binary = ClientProcess::defaultBinary();
  TempDir home;
  setenv("GSADMIN_BUILD_DIR", binary.substr(0, binary.rfind('/')).c_str(), 1);
  setenv("GSADMIN_DEMO_PORT", "0", 1);
  setenv("GSADMIN_DEMO_LOG", (home.path() + "/sim.log").c_str(), 1);
  TerminalProcess demo(kSourceDir + "/scripts/demo", {}, home.path());
  for (const char* name : {"GSADMIN_BUILD_DIR", "GSADMIN_DEMO_PORT", "GSADMIN_DEMO_LOG"}) {
    unsetenv(name);
  }
  auto shows = [](const char* text) {
    return [text](const ScreenModel& screen) { return screenHas(screen, text); };
  };
  ASSERT_TRUE(demo.waitFor(shows("Successfully connected!"), 8000)) << demo.dump();
  pid_t sim = 0;
  for (const std::string& row : demo.screen().rows()) {
    size_t at = row.find("demo: simulator (pid ");
    if (at != std::string::npos) sim = std::atoi(row.c_str() + at + 21);
  }
  ASSERT_GT(sim, 0) << demo.dump();
  demo.type(".players\r");
  EXPECT_TRUE(demo.waitFor(shows("* ID  NAME"))) << demo.dump();

  demo.type("\x03");  // the terminal's Ctrl-C
  EXPECT_EQ(demo.waitExit(5000), 0) << demo.dump();
  EXPECT_NE(::kill(sim, 0), 0) << "the simulator is still running";
}

}  // namespace
}  // namespace gsadmin::testing
