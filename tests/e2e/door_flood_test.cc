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

// What the session did while the doors were flooded.
struct SessionWatch {
  int keepAlivesAnswered = 0;
  uint64_t peakKiB = 0;
  int peakDescriptors = 0;
};

// The real client under the usual descriptor limit, its panel, metrics and
// a database of a million chat lines; logged in to its peer, with a level-1
// login for the flood and a browser of alice's that logged in before.
class DoorFloodTest : public ::testing::Test {
 protected:
  void startClient() {
    std::string db = dir_.path() + "/flood.db";
    client_ = std::make_unique<ClientProcess>(
        std::vector<std::string>{"--nofile=" + std::to_string(kDescriptorLimit),
                                 ClientProcess::defaultBinary(), "--no-input", "--http=127.0.0.1:0",
                                 "--http-users=" + writeUsers(dir_), "--metrics=127.0.0.1:0",
                                 "--db=" + db, "127.0.0.1", std::to_string(peer_.port()), "Admin",
                                 "pw"},
        std::nullopt, "/usr/bin/prlimit");
    plan_.panelPort = portOf(*client_, "Panel");
    plan_.metricsPort = portOf(*client_, "Metrics");
    ASSERT_NE(plan_.metricsPort, 0) << client_->output() << client_->errorOutput();
    // Before the login, so that the server's silence meanwhile does not count.
    bool filled = false;
    for (int i = 0; i < 50 && !filled; ++i) {
      filled = addChatLines(db, 1000000);
      if (!filled) std::this_thread::sleep_for(milliseconds(100));
    }
    ASSERT_TRUE(filled) << "the moderation's tables";
    ASSERT_TRUE(acceptLogin(peer_, {{3, "Bob"}}));
    // Filling the table may outlast the login's wait on a busy machine: the
    // session is watched from its login on.
    ASSERT_TRUE(client_->waitForLine("Successfully connected", 10000)) << client_->output();
    connectedAt_ = client_->output().size();
    httplib::Client http("127.0.0.1", plan_.panelPort);
    http.set_read_timeout(10, 0);
    std::optional<WebUser> mia = logIn(http, "mia", "secret");
    ASSERT_TRUE(mia);
    plan_.reader = *mia;
    httplib::Result first = http.Post("/api/login", kAliceLogin, "application/json");
    ASSERT_TRUE(first && first->status == 200);
    knownBrowser_ = {{"Cookie", cookiesOf(first)}};
  }

  // For `seconds`: a keep-alive request every quarter of a second or so,
  // and a join after the third; the peaks of memory and descriptors.
  SessionWatch watchSession(int seconds) {
    SessionWatch watch;
    auto end = steady_clock::now() + std::chrono::seconds(seconds);
    for (int round = 0; steady_clock::now() < end; ++round) {
      peer_.send(keepAliveRequest());
      for (auto wait = steady_clock::now() + milliseconds(5000); steady_clock::now() < wait;) {
        std::optional<Datagram> datagram = peer_.receive(100);
        if (datagram && !datagram->empty() && (*datagram)[0] == wire::kKeepAliveAnswerId) {
          ++watch.keepAlivesAnswered;
          break;
        }
      }
      if (round == 3) {
        peer_.send(playerJoined(9, "Dave"));
        peer_.send(playerDetails(9, "Dave ping 40"));
      }
      watch.peakKiB = std::max(watch.peakKiB, residentKiB(client_->pid()).value_or(0));
      watch.peakDescriptors = std::max(watch.peakDescriptors, openDescriptors(client_->pid()));
      std::this_thread::sleep_for(milliseconds(250));
    }
    return watch;
  }

  static constexpr char kAliceLogin[] = R"({"name":"alice","password":"secret"})";
  TempDir dir_;
  LoopbackPeer peer_;
  std::unique_ptr<ClientProcess> client_;
  DoorFloodPlan plan_;
  httplib::Headers knownBrowser_;
  size_t connectedAt_ = 0;  // the client's output up to its login
};

TEST_F(DoorFloodTest, TheSessionOutlivesAFloodOnEveryDoor) {
  ASSERT_NO_FATAL_FAILURE(startClient());
  DoorFlood flood(plan_);
  flood.start();
  SessionWatch watch = watchSession(kFloodSeconds);
  httplib::Client late("127.0.0.1", plan_.panelPort);
  late.set_connection_timeout(5, 0);
  late.set_read_timeout(5, 0);
  httplib::Result again = late.Post("/api/login", knownBrowser_, kAliceLogin, "application/json");
  flood.stop();

  const DoorFloodCounts& counts = flood.counts();
  EXPECT_GT(watch.keepAlivesAnswered, kFloodSeconds) << "every keep-alive is answered";
  EXPECT_TRUE(client_->waitForLine("Dave", 5000)) << "the join is seen";
  EXPECT_EQ(client_->output().find("DISCONNECT", connectedAt_), std::string::npos)
      << client_->output();
  if (kResidentSizeIsTheProgramsOwn) {
    EXPECT_LT(watch.peakKiB, kRssCeilingKiB);
  }
  EXPECT_LT(watch.peakDescriptors, kDescriptorLimit);
  EXPECT_LE(counts.loginsRefused.load(), 5u) << "guesses checked for one account in a minute";
  ASSERT_TRUE(again) << "the known browser gets an answer";
  EXPECT_EQ(again->status, 200) << again->body;
  EXPECT_GT(counts.headerFloodsEnded.load(), 0u) << "a header flood is cut off";
  EXPECT_LE(counts.streamsPeak.load(), 16u) << "streams of one account at once";
}

}  // namespace
}  // namespace gsadmin::testing
