// Every door of the real binary flooded at once: idle connections, header
// floods on the panel and the metrics port, wrong passwords from rotating
// addresses, charts read over a million chat lines and event streams, under
// the usual limit of 1 024 descriptors. Meanwhile the session must answer
// every keep-alive and see a join, the memory must stay under its ceiling,
// and an admin whose browser logged in before must still log in.

#include "support/door_flood.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <thread>

#include "sim/server_messages.h"
#include "support/panel_client.h"
#include "support/proc_stats.h"
#include "support/raw_socket.h"

namespace gsadmin::testing {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr int kFloodSeconds = 10;
constexpr uint64_t kRssCeilingKiB = 256 * 1024;
constexpr int kDescriptorLimit = 1024;

TEST(DoorFloodTest, TheSessionOutlivesAFloodOnEveryDoor) {
  TempDir dir;
  LoopbackPeer peer;
  std::string db = dir.path() + "/flood.db";
  ClientProcess client(
      {"--nofile=" + std::to_string(kDescriptorLimit), ClientProcess::defaultBinary(), "--no-input",
       "--http=127.0.0.1:0", "--http-users=" + writeUsers(dir), "--metrics=127.0.0.1:0",
       "--db=" + db, "127.0.0.1", std::to_string(peer.port()), "Admin", "pw"},
      std::nullopt, "/usr/bin/prlimit");
  int panelPort = portOf(client, "Panel");
  int metricsPort = portOf(client, "Metrics");
  ASSERT_NE(metricsPort, 0) << client.output() << client.errorOutput();
  // Before the login, so that the server's silence meanwhile does not count.
  bool filled = false;
  for (int i = 0; i < 50 && !filled; ++i) {
    filled = addChatLines(db, 1000000);
    if (!filled) std::this_thread::sleep_for(milliseconds(100));
  }
  ASSERT_TRUE(filled) << "the moderation's tables";
  ASSERT_TRUE(acceptLogin(peer, {{3, "Bob"}}));

  httplib::Client http("127.0.0.1", panelPort);
  http.set_read_timeout(10, 0);
  std::optional<WebUser> mia = logIn(http, "mia", "secret");
  ASSERT_TRUE(mia);
  // alice's browser has logged in before: it keeps whatever cookies it got.
  std::string body = R"({"name":"alice","password":"secret"})";
  httplib::Result first = http.Post("/api/login", body, "application/json");
  ASSERT_TRUE(first && first->status == 200);
  httplib::Headers knownBrowser = {{"Cookie", cookiesOf(first)}};

  DoorFloodPlan plan;
  plan.panelPort = panelPort;
  plan.metricsPort = metricsPort;
  plan.reader = *mia;
  DoorFlood flood(plan);
  flood.start();

  uint64_t peakKiB = 0;
  int peakDescriptors = 0;
  int keepAlivesAnswered = 0;
  auto end = steady_clock::now() + std::chrono::seconds(kFloodSeconds);
  for (int round = 0; steady_clock::now() < end; ++round) {
    ASSERT_TRUE(peer.send(keepAliveRequest()));
    for (auto wait = steady_clock::now() + milliseconds(5000); steady_clock::now() < wait;) {
      std::optional<Datagram> datagram = peer.receive(100);
      if (datagram && !datagram->empty() && (*datagram)[0] == wire::kKeepAliveAnswerId) {
        ++keepAlivesAnswered;
        break;
      }
    }
    if (round == 3) {
      ASSERT_TRUE(peer.send(playerJoined(9, "Dave")));
      ASSERT_TRUE(peer.send(playerDetails(9, "Dave ping 40")));
    }
    peakKiB = std::max(peakKiB, residentKiB(client.pid()).value_or(0));
    peakDescriptors = std::max(peakDescriptors, openDescriptors(client.pid()));
    std::this_thread::sleep_for(milliseconds(250));
  }
  httplib::Client late("127.0.0.1", panelPort);
  late.set_connection_timeout(5, 0);
  late.set_read_timeout(5, 0);
  httplib::Result again = late.Post("/api/login", knownBrowser, body, "application/json");
  flood.stop();

  const DoorFloodCounts& counts = flood.counts();
  EXPECT_GT(keepAlivesAnswered, kFloodSeconds) << "every keep-alive is answered";
  EXPECT_TRUE(client.waitForLine("Dave", 5000)) << "the join is seen";
  EXPECT_EQ(client.output().find("DISCONNECT"), std::string::npos) << client.output();
  if (kResidentSizeIsTheProgramsOwn) {
    EXPECT_LT(peakKiB, kRssCeilingKiB);
  }
  EXPECT_LT(peakDescriptors, kDescriptorLimit);
  EXPECT_LE(counts.loginsRefused.load(), 5u) << "guesses checked for one account in a minute";
  ASSERT_TRUE(again) << "the known browser gets an answer";
  EXPECT_EQ(again->status, 200) << again->body;
  EXPECT_GT(counts.headerFloodsEnded.load(), 0u) << "a header flood is cut off";
  EXPECT_LE(counts.streamsOpened.load(), 16u) << "streams of one account";
}

}  // namespace
}  // namespace gsadmin::testing
