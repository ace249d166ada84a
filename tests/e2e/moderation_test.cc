// The built-in moderation through the real client against the real
// simulator: an admin in game warns and tempbans, an impostor with the
// admin's name is refused, the client restarts, and the banned player who
// rejoins is kicked; every record outlives the restart.

#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <memory>
#include <regex>
#include <string>

#include "support/client_process.h"
#include "support/console_lines.h"

namespace gsadmin::testing {
namespace {

// Scenario time runs from the first login, one second a second. The test
// types ".admin add" once Ann's "ready" shows (her details came with the
// login), well before her first command at 3 s; the client restarts after
// the impostor's refusal, before Troll comes back at 10 s.
const char kScenario[] = R"(server-name Moderation Test
online Ann key k-a1
online Bob key k-bob
online Troll key k-troll
0.5  chat Ann ready
2    chat Bob hi all
3    chat Ann !warn Bob spamming
3.5  chat Ann !tempban Troll 2h griefing
4    quit Ann
4.5  join Ann key k-mallory
5    chat Ann !kick Bob
5.5  quit Ann
6    quit Troll
10   join Troll key k-troll
11   chat Bob hello again
12   end
)";

// The client in `directory`, its commands piped in.
std::unique_ptr<ClientProcess> startClient(uint16_t port, const std::string& directory) {
  return std::make_unique<ClientProcess>(
      std::vector<std::string>{"127.0.0.1", std::to_string(port), "Admin", "73519"}, std::nullopt,
      ClientProcess::defaultBinary(), std::nullopt, directory, ClientProcess::Input::kPipe);
}

// What the client, restarted, says of the match: every record was kept.
void expectRecordsKept(ClientProcess& client) {
  std::string bans = answer(client, ".bans", "Troll");
  EXPECT_TRUE(
      std::regex_search(bans, std::regex(R"(\* #\d+ Troll, until .* UTC \(1h5\dm(\d+s)? left\), )"
                                         R"(by Ann: griefing\n)")))
      << bans;
  std::string seen = answer(client, ".seen troll", "visits");
  EXPECT_TRUE(std::regex_search(
      seen, std::regex(R"(\* Troll: last seen .* ago\) on 127\.0\.0\.1:\d+, not online\n)")))
      << seen;
  // Kicked at the join, before the details that start a visit.
  EXPECT_NE(seen.find("* visits 1, "), std::string::npos) << seen;
  std::string history = answer(client, ".history Bob", "hello again");
  EXPECT_NE(history.find("* Bob: 1 sanction, 0 notes, the last 2 chat lines\n"), std::string::npos)
      << history;
  EXPECT_TRUE(
      std::regex_search(history, std::regex(R"( UTC warn by Ann on 127\.0\.0\.1:\d+: spamming\n)")))
      << history;
  EXPECT_TRUE(std::regex_search(history, std::regex(R"( UTC said on 127\.0\.0\.1:\d+: hi all\n)")))
      << history;
  std::string audit = answer(client, ".audit 3", "admin add");
  EXPECT_TRUE(std::regex_search(
      audit, std::regex(R"(UTC game:Ann tempban Troll on 127\.0\.0\.1:\d+: 2h: griefing\n)"
                        R"(.* UTC game:Ann warn Bob on 127\.0\.0\.1:\d+: spamming\n)"
                        R"(.* UTC console:Admin admin add Ann on 127\.0\.0\.1:\d+: 2\n)")))
      << audit;
  std::string admins = answer(client, ".admins", "Ann");
  EXPECT_NE(admins.find("* Ann: level 2 (admin), details 'k-a1', added by Admin on "),
            std::string::npos)
      << admins;
}

TEST(ModerationEndToEndTest, RecordsAndBansOutliveARestartAndNamesAloneGrantNothing) {
  TempDir dir;
  dir.write("scenario.txt", kScenario);
  auto sim = std::make_unique<ClientProcess>(
      std::vector<std::string>{"--port", "0", "--scenario", dir.path() + "/scenario.txt", "--once"},
      std::nullopt, GSADMIN_SIM_PATH);
  uint16_t port = listeningPort(*sim);
  ASSERT_NE(port, 0) << sim->output();

  std::unique_ptr<ClientProcess> client = startClient(port, dir.path());
  ASSERT_TRUE(client->waitForLine("Ann: ready")) << client->output();
  client->writeInput(".admin add Ann 2\n");
  EXPECT_TRUE(client->waitForLine("* console:Admin made Ann an admin of level 2"))
      << client->output();
  EXPECT_TRUE(client->waitForLine("* game:Ann warned Bob (1 active): spamming"))
      << client->output();
  std::optional<std::string> banned = client->waitForLine("* game:Ann banned Troll for 2h, until ");
  ASSERT_TRUE(banned) << client->output();
  EXPECT_TRUE(banned->ends_with(" UTC: griefing")) << *banned;
  EXPECT_TRUE(client->waitForLine("PM SENT: Ann: !kick: you may not")) << client->output();

  // A restart in the middle of the match.
  client->kill(SIGTERM);
  EXPECT_EQ(client->waitExit(), 0);
  std::string before = client->output();
  client = startClient(port, dir.path());
  std::optional<std::string> kicked = client->waitForLine("* Troll is banned until ", 8000);
  ASSERT_TRUE(kicked) << client->output();
  EXPECT_TRUE(kicked->ends_with(" UTC (griefing): kicked")) << *kicked;
  EXPECT_TRUE(client->waitForLine("Bob: hello again")) << client->output();
  EXPECT_EQ(sim->waitExit(20000), 0);
  sim->readToEnd();

  const std::string& log = sim->output();
  EXPECT_EQ(occurrences(log, "admin message to Bob (id 1): Warning 1 of 3 before a kick: spamming"),
            1)
      << log;
  EXPECT_EQ(occurrences(log, "admin message to Ann (id 0): !warn: done"), 1) << log;
  // The ban's number, at the ban and at the refused join alike.
  std::smatch number;
  ASSERT_TRUE(std::regex_search(
      log, number,
      std::regex(R"(admin message to Troll \(id 2\): You are banned \(#(\d+)\) until )")))
      << log;
  EXPECT_EQ(occurrences(log, "admin message to Troll (id 0): You are banned (#" + number[1].str() +
                                 ") until "),
            1)
      << log;
  EXPECT_EQ(occurrences(log, "admin kicks Troll"), 2) << "the tempban, then the rejoin: " << log;
  EXPECT_EQ(occurrences(log, "admin kicks Bob"), 0) << "the impostor's !kick: " << log;
  EXPECT_EQ(occurrences(log, ": !kick: you may not"), 1) << log;
  EXPECT_EQ(occurrences(before, "* game:Ann kicked"), 0) << before;

  expectRecordsKept(*client);
  client->closeInput();
  client->kill(SIGTERM);
  EXPECT_EQ(client->waitExit(), 0);
}

}  // namespace
}  // namespace gsadmin::testing
