// The poll loop with time driven by hand; a few cases on a real socket.

#include "session/admin_session.h"

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

#include "moderation/moderation.h"
#include "support/manual_clock.h"
#include "support/session_harness.h"

namespace gsadmin {
namespace {

using testing::Datagram;
using testing::SessionHarness;

std::string connectingLine(SessionHarness& harness, const std::string& name = "Admin") {
  return "Connecting to 127.0.0.1:" + std::to_string(harness.port()) + " as " + name + "...\n";
}

bool isLogin(const Datagram& datagram) {
  return !datagram.empty() && datagram[0] == 0x0D;
}

TEST(AdminSessionTest, FirstLoginGoesOutAsSoonAsTimeMovesOn) {
  SessionHarness harness(std::nullopt, "Boss", "pw");
  harness.output();
  EXPECT_FALSE(harness.session().connected());
  harness.session().poll();  // same tick as start: the deadline has not passed
  EXPECT_TRUE(harness.sent().empty());
  harness.clock().advance(1);
  harness.session().poll();
  std::vector<Datagram> sent = harness.sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0], (Datagram{0x0D, 0x30, 0x02, 'B', 'o', 's', 's', 0x7C, 'p', 'w', 0x00}));
  EXPECT_EQ(harness.output(), connectingLine(harness, "Boss"));
  EXPECT_TRUE(harness.session().connected());
}

TEST(AdminSessionTest, DeadlinePassesOnlyAtAStrictlyLaterTick) {
  SessionHarness harness;
  harness.login();
  harness.output();
  harness.clock().advance(AdminSession::kSilenceMs);  // equal to the deadline
  harness.session().poll();
  EXPECT_TRUE(harness.session().connected());
  EXPECT_EQ(harness.output(), "");
  harness.clock().advance(1);
  harness.session().poll();
  EXPECT_FALSE(harness.session().connected());
  EXPECT_EQ(harness.output(), "DISCONNECT: Connection timed out\n");
}

// The loop sleeps exactly until the deadline passes or the next timer is
// due; sleeping that long and polling then finds the work done.
TEST(AdminSessionTest, SleepsUntilTheDeadlineOrTheNextTimer) {
  SessionHarness harness("function t() print('tick') end\n");
  harness.login();
  harness.output();
  AdminSession& session = harness.session();
  // The bans read: until then the loop also looks every kLoadPollMs.
  ASSERT_NE(session.moderation(), nullptr);
  ASSERT_EQ(session.moderation()->sanctions().awaitLoaded(harness.clock().wallSeconds()), "");
  session.moderation()->writeRecords();  // the login's records, due in a moment
  EXPECT_EQ(session.msUntilWork(), AdminSession::kSilenceMs + 1);
  session.timers().add("t", 2500, 2, harness.clock().nowMs());
  for (const char* expected : {"tick\n", "tick\n", "DISCONNECT: Connection timed out\n"}) {
    harness.clock().advance(session.msUntilWork() - 1);
    session.poll();
    EXPECT_EQ(harness.output(), "");  // a millisecond early: nothing to do
    harness.clock().advance(1);
    session.poll();
    EXPECT_EQ(harness.output(), expected);
  }
  EXPECT_EQ(session.msUntilWork(), AdminSession::kSilenceMs + 1);  // until the next login
}

TEST(AdminSessionTest, SilentPeerGetsOneLoginEveryTwentySeconds) {
  SessionHarness harness;
  harness.output();
  int logins = 0;
  int timeouts = 0;
  // 100 simulated seconds in 10 ms steps.
  for (int step = 0; step < 10000; ++step) {
    harness.clock().advance(10);
    harness.session().poll();
    for (const Datagram& datagram : harness.sent()) logins += isLogin(datagram);
  }
  std::string out = harness.output();
  for (size_t at = out.find("DISCONNECT"); at != std::string::npos;
       at = out.find("DISCONNECT", at + 1)) {
    ++timeouts;
  }
  EXPECT_EQ(logins, 5);  // at 0.01 s, 20.03 s, 40.05 s, ...
  EXPECT_EQ(timeouts, 5);
}

TEST(AdminSessionTest, TimeoutFiresOnDisconnectWhileStillConnected) {
  SessionHarness harness(
      "addEventHandler('onDisconnect', 'lost')\n"
      "function lost(reason) print('lost', reason, isConnected()) end\n");
  harness.login();
  harness.output();
  harness.clock().advance(AdminSession::kSilenceMs + 1);
  harness.session().poll();
  EXPECT_EQ(harness.output(), "DISCONNECT: Connection timed out\nlost\t2\ttrue\n");
  EXPECT_FALSE(harness.session().connected());
  // The next login waits another full period, never in the same poll.
  EXPECT_TRUE(harness.sent().empty());
  harness.clock().advance(AdminSession::kSilenceMs);
  harness.session().poll();
  EXPECT_TRUE(harness.sent().empty());
  harness.clock().advance(1);
  harness.session().poll();
  ASSERT_EQ(harness.sent().size(), 1u);
}

TEST(AdminSessionTest, EveryWaitingDatagramIsDispatchedInOrder) {
  SessionHarness harness(
      "addEventHandler('onAdminChat', 'chat')\n"
      "function chat(text) print(text) end\n",
      "Admin", "73519", testing::Transport::kLoopback);
  harness.login();
  harness.output();
  std::vector<Datagram> burst;
  std::string expected;
  for (int i = 0; i < 50; ++i) {
    burst.push_back(testing::chatLine(0, 3, "line " + std::to_string(i)));
    expected += "ADMIN: line " + std::to_string(i) + "\n" + "line " + std::to_string(i) + "\n";
  }
  harness.deliver(burst);  // one poll
  EXPECT_EQ(harness.output(), expected);
}

TEST(AdminSessionTest, IgnoredAndUnknownIdsStillRenewTheDeadline) {
  SessionHarness harness;
  harness.login();
  harness.output();
  for (uint8_t id : {0, 2, 5, 7, 12, 28, 30, 255}) {
    harness.clock().advance(9000);
    harness.deliver(Datagram{id, 1, 2, 3});
    EXPECT_TRUE(harness.session().connected()) << int(id);
  }
  EXPECT_EQ(harness.output(), "");
  EXPECT_TRUE(harness.sent().empty());
}

TEST(AdminSessionTest, OversizeDatagramIsNotDispatchedButRenewsTheDeadline) {
  // The socket reports a datagram's real length even past the buffer.
  SessionHarness harness(std::nullopt, "Admin", "73519", testing::Transport::kLoopback);
  harness.login();
  Datagram oversize(AdminSession::kMaxDatagram + 1, 0);
  oversize[0] = 4;  // a keep-alive request would be answered
  harness.clock().advance(9000);
  harness.deliver(oversize);
  EXPECT_TRUE(harness.sent().empty());
  EXPECT_EQ(harness.session().oversizeDatagrams(), 1u);
  harness.clock().advance(9000);
  harness.session().poll();
  EXPECT_TRUE(harness.session().connected());

  Datagram largest(AdminSession::kMaxDatagram, 0);
  largest[0] = 4;
  harness.deliver(largest);
  std::vector<Datagram> sent = harness.sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0], (Datagram{0x35, 0x00}));
}

TEST(AdminSessionTest, OnePassTakesAtMostItsBoundAndTheNextTheRest) {
  SessionHarness harness(std::nullopt, "Admin", "73519", testing::Transport::kLoopback);
  harness.login();
  for (int i = 0; i < 1100; ++i) harness.peer().send(Datagram{4});  // keep-alive requests
  ASSERT_TRUE(harness.session().socket()->waitReadable(2000));
  harness.clock().advance(7);
  harness.session().poll();
  EXPECT_EQ(harness.sent().size(), 1024u);
  EXPECT_EQ(harness.session().lastDatagramMs(), harness.clock().nowMs());
  EXPECT_EQ(harness.session().deadline(), harness.clock().nowMs() + AdminSession::kSilenceMs);
  harness.session().poll();
  EXPECT_EQ(harness.sent().size(), 76u);
}

TEST(AdminSessionTest, AnEmptyDatagramIsNoActivity) {
  SessionHarness harness(std::nullopt, "Admin", "73519", testing::Transport::kLoopback);
  harness.login();
  std::optional<uint64_t> before = harness.session().lastDatagramMs();
  harness.clock().advance(9000);
  harness.deliver(Datagram{});
  EXPECT_EQ(harness.session().lastDatagramMs(), before);
  harness.clock().advance(1001);
  harness.session().poll();
  EXPECT_FALSE(harness.session().connected()) << "timed out";
}

TEST(AdminSessionTest, KeepAliveOfAnyLengthGetsOneAnswer) {
  SessionHarness harness;
  harness.login();
  harness.deliver({Datagram{4}, Datagram{4, 9, 9, 9}});
  std::vector<Datagram> sent = harness.sent();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0], (Datagram{0x35, 0x00}));
  EXPECT_EQ(sent[1], (Datagram{0x35, 0x00}));
}

TEST(AdminSessionTest, StartReportsMissingSettings) {
  testing::TempDir dir;
  ManualClock clock;
  struct Case {
    SessionSettings settings;
    const char* line;
  };
  const Case cases[] = {
      {[] {
         SessionSettings settings;
         settings.serverPort = 0;
         return settings;
       }(),
       "ERROR: Port not set!\n"},
  };
  for (const Case& c : cases) {
    SessionIo io;
    auto console = std::make_unique<testing::RecordingConsole>();
    testing::RecordingConsole& lines = *console;
    io.console = std::move(console);
    io.scriptPaths = {dir.path() + "/script.lua"};
    AdminSession session(c.settings, clock, std::move(io));
    EXPECT_FALSE(session.start());
    EXPECT_NE(lines.takeOutput().find(c.line), std::string::npos);
    EXPECT_EQ(session.socket(), nullptr);
  }
}

// The real loop: a socket, the wait between polls and the stop flag.
TEST(AdminSessionTest, RunLogsInOverTheSocketAndStopsWhenAsked) {
  testing::TempDir dir;
  testing::LoopbackPeer peer;
  SystemClock clock;
  SessionIo io;
  auto console = std::make_unique<testing::RecordingConsole>();
  testing::RecordingConsole& lines = *console;
  io.console = std::move(console);
  io.scriptPaths = {dir.path() + "/script.lua"};
  SessionSettings settings;
  settings.serverPort = peer.port();
  settings.adminName = "Boss";
  AdminSession session(settings, clock, std::move(io));
  volatile std::sig_atomic_t stop = 0;
  bool ran = false;
  std::thread loop([&] { ran = session.run(&stop); });
  std::optional<Datagram> login = peer.receive(5000);
  stop = 1;
  // The loop sleeps until there is work; a datagram (id 0, never handled)
  // wakes it to see the flag.
  peer.send(Datagram{0x00});
  loop.join();
  EXPECT_TRUE(ran);
  ASSERT_TRUE(login.has_value());
  EXPECT_EQ((*login)[0], 0x0D);
  EXPECT_NE(lines.takeOutput().find("Connecting to 127.0.0.1:" + std::to_string(peer.port()) +
                                    " as Boss...\n"),
            std::string::npos);
}

}  // namespace
}  // namespace gsadmin
