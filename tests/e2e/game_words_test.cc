// In-game words with every example loaded and the moderation on, through
// the real client against the real simulator: each "!word" gets exactly
// one answer, from its one owner.

#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <string>

#include "support/client_process.h"
#include "support/console_lines.h"
#include "support/examples_copy.h"

namespace gsadmin::testing {
namespace {

// Ann is made a moderator once her "ready" shows; Bob is a player. Each
// word comes a second apart, so that every answer is in before the end.
const char kScenario[] = R"(server-name Words Test
online Ann key k-a1
online Bob key k-bob
0.5  chat Ann ready
3    chat Ann !warn Bob spamming
4    chat Bob !help
5    chat Bob !stats
6    chat Ann !seen Bob
7    chat Bob !foo
8    chat Bob /msg Ann !WARN Ann x
10   end
)";

TEST(GameWordsEndToEndTest, EveryWordGetsOneAnswerWithTheExamplesLoaded) {
  TempDir dir;
  copyExamples(std::string(GSADMIN_SOURCE_DIR) + "/examples", dir.path());
  dir.write("scenario.txt", kScenario);
  auto sim = std::make_unique<ClientProcess>(
      std::vector<std::string>{"--port", "0", "--scenario", dir.path() + "/scenario.txt", "--once"},
      std::nullopt, GSADMIN_SIM_PATH);
  uint16_t port = listeningPort(*sim);
  ASSERT_NE(port, 0) << sim->output();
  ClientProcess client(
      {"--script=" + dir.path(), "127.0.0.1", std::to_string(port), "Admin", "73519"}, std::nullopt,
      ClientProcess::defaultBinary(), std::nullopt, dir.path(), ClientProcess::Input::kPipe);
  ASSERT_TRUE(client.waitForLine("Ann: ready", 8000)) << client.output();
  client.writeInput(".admin add Ann 1\n");
  EXPECT_TRUE(client.waitForLine("* console:Admin made Ann an admin of level 1"))
      << client.output();
  EXPECT_EQ(sim->waitExit(30000), 0);
  sim->readToEnd();
  client.closeInput();
  client.kill(SIGTERM);
  EXPECT_EQ(client.waitExit(), 0);

  const std::string& log = sim->output();
  const std::string toAnn = "admin message to Ann (id 0): ";
  const std::string toBob = "admin message to Bob (id 1): ";
  // The admin's !warn: the moderation's answer, and no script's.
  EXPECT_EQ(occurrences(log, toAnn + "!warn: done"), 1) << log;
  EXPECT_EQ(occurrences(log, toBob + "Warning 1 of 3 before a kick: spamming"), 1) << log;
  // The player's !help: one list of every script's words.
  EXPECT_EQ(occurrences(log, toBob + "Commands: !next !streak !top !alltime !seen !stats !players "
                                     "!server\n"),
            1)
      << log;
  EXPECT_EQ(occurrences(log, toBob + "Kills: 0, deaths: 0"), 1) << log;
  // The admin's !seen: the moderation's lines, not persistent_stats.lua's.
  EXPECT_EQ(occurrences(log, toAnn + "Bob: last seen "), 1) << log;
  EXPECT_EQ(occurrences(log, "was last seen"), 0) << log;
  EXPECT_EQ(occurrences(log, "never seen"), 0) << log;
  EXPECT_EQ(occurrences(log, toBob + "Unknown command !foo; try !help"), 1) << log;
  // A player's !warn in a private message: refused once.
  EXPECT_EQ(occurrences(log, toBob + "!warn: you may not"), 1) << log;
  EXPECT_EQ(occurrences(log, "Unknown command"), 1) << log;
  // Nothing else was said to either: the warning, !help, !stats, !foo and
  // the refusal to Bob; !warn and the two !seen lines to Ann.
  EXPECT_EQ(occurrences(log, toBob), 5) << log;
  EXPECT_EQ(occurrences(log, toAnn), 3) << log;
  EXPECT_EQ(occurrences(client.output(), "LUA: Error"), 0) << client.output();
}

}  // namespace
}  // namespace gsadmin::testing
