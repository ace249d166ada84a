// Two real clients on two real simulators sharing one real PostgreSQL
// database: a ban on one kicks on the other (and once only on its own), an
// admin added on one acts on the other, .seen names the other server, the
// audit names each act's operator and server; then the database stops and
// starts again under them: neither client stops, the banned player is
// still kicked, and a ban made meanwhile reaches the other client once.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "support/client_process.h"
#include "support/console_lines.h"
#include "support/postgres_server.h"

namespace gsadmin::testing {
namespace {

// Scenario time runs from each simulator's login, one second a second; the
// test's steps come in between (see the test's comments). Troll, kicked from
// beta by then, has no quit to make at 13 s.
const char kAlpha[] = R"(server-name Alpha
online Ann key k-a1
online Troll key k-troll
online Dan key k-dan
0.5  chat Ann ready
120  end
)";
const char kBeta[] = R"(server-name Beta
online Troll key k-troll
online Carl key k-carl
online Dan key k-dan
0.5  chat Carl ready
6    join Ann key k-a1
7    chat Ann !warn Carl spam
13   quit Troll
14   join Troll key k-troll
120  end
)";

// Alpha's kicked players leave a little later, as on a server far away:
// the client's own change notice comes back before they are gone.
std::unique_ptr<ClientProcess> startSimulator(TempDir& dir, const std::string& name,
                                              const char* scenario, int kickDelayMs = 0) {
  dir.write(name + ".txt", scenario);
  return std::make_unique<ClientProcess>(
      std::vector<std::string>{"--port", "0", "--scenario", dir.path() + "/" + name + ".txt",
                               "--once", "--kick-delay", std::to_string(kickDelayMs)},
      std::nullopt, GSADMIN_SIM_PATH);
}

std::unique_ptr<ClientProcess> startClient(uint16_t port, const std::string& uri,
                                           const std::string& serverName,
                                           const std::string& operatorName) {
  return std::make_unique<ClientProcess>(
      std::vector<std::string>{"127.0.0.1", std::to_string(port), "Admin", "73519", "--db=" + uri,
                               "--server-name=" + serverName, "--operator=" + operatorName},
      std::nullopt, ClientProcess::defaultBinary(), std::nullopt, std::nullopt,
      ClientProcess::Input::kPipe);
}

// Whether the client's standard error holds `needle` `times` times within
// `timeoutMs`: the database's lines go there.
bool saysOnError(ClientProcess& client, const std::string& needle, int times, int timeoutMs) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  do {
    if (occurrences(client.errorOutput(), needle) >= times) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (std::chrono::steady_clock::now() < until);
  return false;
}

// The database stops at about 8 s of the scenarios and starts again.
void expectToOutliveTheDatabase(PostgresServer& postgres, ClientProcess& alpha,
                                ClientProcess& beta) {
  ASSERT_TRUE(postgres.stop()) << postgres.failure();
  EXPECT_TRUE(saysOnError(alpha, "gsadmin: database connection lost: ", 1, 10000))
      << alpha.errorOutput();
  EXPECT_TRUE(saysOnError(beta, "gsadmin: database connection lost: ", 1, 10000))
      << beta.errorOutput();
  alpha.writeInput(".tempban Dan 1h flood\n");
  EXPECT_TRUE(alpha.waitForLine("* console:Olga banned Dan for 1h, until ")) << alpha.output();
  // Troll comes back to beta at 14 s: kicked from memory.
  EXPECT_TRUE(beta.waitForLine("* Troll is banned permanently (cheating): kicked", 15000))
      << beta.output();
  std::string unread = answer(beta, ".seen Carl", ".seen");
  EXPECT_NE(unread.find("* .seen: cannot read the records: "), std::string::npos) << unread;

  ASSERT_TRUE(postgres.start()) << postgres.failure();
  EXPECT_TRUE(saysOnError(alpha, "gsadmin: database connection is back", 1, 40000))
      << alpha.errorOutput();
  EXPECT_TRUE(saysOnError(beta, "gsadmin: database connection is back", 1, 40000))
      << beta.errorOutput();
  // Beta reads the bans again once back: Dan, banned meanwhile on alpha.
  EXPECT_TRUE(beta.waitForLine("* Dan is banned until ", 10000)) << beta.output();
  std::string history = answer(beta, ".history Dan", "flood");
  EXPECT_NE(history.find("* Dan: 1 sanction, 0 notes,"), std::string::npos) << history;
  EXPECT_NE(history.find(" UTC tempban 1h by Olga on alpha: flood\n"), std::string::npos)
      << history;
  // Alpha writes what it journaled once back, as soon as the database takes it.
  std::string audit = answerHolding(alpha, ".audit 1", " UTC ", "tempban Dan");
  EXPECT_NE(audit.find(" UTC console:Olga tempban Dan on alpha: 1h: flood\n"), std::string::npos)
      << audit;
}

// Each act's audit line, read on either client, names who did it and where.
void expectTheAuditToSayWhoAndWhere(ClientProcess& alpha, ClientProcess& beta) {
  std::string noted = answer(beta, ".note Carl friendly", "noted");
  EXPECT_EQ(noted, "* console:Bert noted on Carl: friendly\n");
  // Beta writes the note within a pass of its loop.
  std::string audit = answerHolding(alpha, ".audit 5", "admin add", "console:Bert");
  for (const char* line : {" UTC console:Bert note Carl on beta: friendly\n",
                           " UTC console:Olga tempban Dan on alpha: 1h: flood\n",
                           " UTC game:Ann warn Carl on beta: spam\n",
                           " UTC console:Olga ban Troll on alpha: cheating\n",
                           " UTC console:Olga admin add Ann on alpha: 2\n"}) {
    EXPECT_EQ(occurrences(audit, line), 1) << line << audit;
  }
}

// The simulator's account of what alpha asked: the ban of Troll and the
// tempban of Dan each removed the player once; nothing went to a slot
// already freed.
void expectOneRemovalEach(ClientProcess& alpha, ClientProcess& alphaSim) {
  alpha.writeInput("end of the requests\n");
  ASSERT_TRUE(alphaSim.waitForLine("admin chat: end of the requests")) << alphaSim.output();
  const std::string& log = alphaSim.output();
  EXPECT_EQ(occurrences(log, "admin bans Troll (id "), 1) << log;
  EXPECT_EQ(occurrences(log, "admin kicks Troll"), 0) << log;
  EXPECT_EQ(occurrences(log, "admin kicks Dan (id "), 1) << log;
  EXPECT_EQ(occurrences(log, "no such player"), 0) << log;
}

TEST(FleetEndToEndTest, TwoClientsShareBansAdminsAndHistoryAndOutliveTheDatabase) {
  if (!PostgresServer::binaries()) GTEST_SKIP() << PostgresServer::kMissing;
  PostgresServer postgres;
  ASSERT_TRUE(postgres.running()) << postgres.failure();
  std::string uri = postgres.createDatabase("fleet");
  ASSERT_FALSE(uri.empty()) << postgres.failure();

  TempDir dir;
  std::unique_ptr<ClientProcess> alphaSim = startSimulator(dir, "alpha", kAlpha, 500);
  std::unique_ptr<ClientProcess> betaSim = startSimulator(dir, "beta", kBeta);
  uint16_t alphaPort = listeningPort(*alphaSim);
  uint16_t betaPort = listeningPort(*betaSim);
  ASSERT_NE(alphaPort, 0) << alphaSim->output();
  ASSERT_NE(betaPort, 0) << betaSim->output();
  std::unique_ptr<ClientProcess> alpha = startClient(alphaPort, uri, "alpha", "Olga");
  std::unique_ptr<ClientProcess> beta = startClient(betaPort, uri, "beta", "Bert");
  ASSERT_TRUE(alpha->waitForLine("Ann: ready", 10000)) << alpha->output() << alpha->errorOutput();
  ASSERT_TRUE(beta->waitForLine("Carl: ready", 10000)) << beta->output() << beta->errorOutput();

  // An admin added on alpha; Ann's !warn on beta at 7 s.
  alpha->writeInput(".admin add Ann 2\n");
  ASSERT_TRUE(alpha->waitForLine("* console:Olga made Ann an admin of level 2"))
      << alpha->output() << alpha->errorOutput();

  // A ban on alpha kicks Troll on beta (how soon is the bench's to say).
  alpha->writeInput(".ban Troll cheating\n");
  ASSERT_TRUE(alpha->waitForLine("* console:Olga banned Troll")) << alpha->output();
  ASSERT_TRUE(beta->waitForLine("* Troll is banned permanently (cheating): kicked", 10000))
      << beta->output() << beta->errorOutput();

  EXPECT_TRUE(beta->waitForLine("* game:Ann warned Carl (1 active): spam", 10000))
      << beta->output();
  std::string seen = answer(*alpha, ".seen Carl", "visits");
  EXPECT_NE(seen.find(" ago) on beta, not online\n"), std::string::npos) << seen;

  expectToOutliveTheDatabase(postgres, *alpha, *beta);
  expectTheAuditToSayWhoAndWhere(*alpha, *beta);
  expectOneRemovalEach(*alpha, *alphaSim);
  for (ClientProcess* client : {alpha.get(), beta.get()}) {
    client->closeInput();
    client->kill(SIGTERM);
    EXPECT_EQ(client->waitExit(), 0) << client->output() << client->errorOutput();
  }
}

}  // namespace
}  // namespace gsadmin::testing
