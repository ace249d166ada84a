#include "panel/stream_hub.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "panel/stream_text.h"

namespace gsadmin {
namespace {

constexpr int kWaitMs = 5000;
const std::string kKeepAliveChunk = chunkOf(kKeepAliveText);

// A hub over a real ring and board, its streams on socket pairs whose far
// ends the test reads.
class StreamHubTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hub_ = std::make_unique<StreamHub>(*ring_, board_, *signal_, [this](const std::string& token) {
      return token != "gone" || !loggedOut_;
    });
    std::string error;
    ASSERT_TRUE(hub_->start(&error)) << error;
  }
  void TearDown() override {
    hub_->stop();
    for (int fd : readers_) close(fd);
  }

  // A new stream of `token`; the reading end, left with a send buffer of
  // `sendBuffer` bytes on the hub's side when given.
  int open(const std::string& token = "alice", int sendBuffer = 0) {
    int pair[2];
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    if (sendBuffer > 0) setsockopt(pair[0], SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
    auto connection = Connection::make(pair[0], nullptr, "peer", RequestFrame(1024, 1024),
                                       std::chrono::steady_clock::now());
    hub_->adopt(std::move(connection), token, nullptr);
    readers_.push_back(pair[1]);
    return pair[1];
  }

  // Reads `fd` until what came holds `needle` or the stream ends; all read.
  static std::string readUntil(int fd, const std::string& needle, bool* ended = nullptr) {
    std::string text;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (text.find(needle) == std::string::npos && std::chrono::steady_clock::now() < end) {
      pollfd entry{fd, POLLIN, 0};
      if (poll(&entry, 1, 50) <= 0) continue;
      char buffer[65536];
      ssize_t n = read(fd, buffer, sizeof buffer);
      if (n <= 0) {
        if (ended) *ended = true;
        break;
      }
      text.append(buffer, static_cast<size_t>(n));
    }
    return text;
  }

  // What has arrived on `fd` by now, without waiting.
  static std::string readNow(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0) {
      text.append(buffer, static_cast<size_t>(n));
    }
    return text;
  }

  void publishPlayers(int kills, uint64_t eventsFired = 0, bool connected = false) {
    auto snapshot = std::make_shared<Snapshot>();
    snapshot->server.connected = connected;
    PlayerView bob;
    bob.id = 1;
    bob.name = "Bob";
    bob.kills = kills;
    snapshot->players.push_back(bob);
    snapshot->counters.eventsFired[0] = eventsFired;
    board_.publish(std::move(snapshot));
  }

  std::shared_ptr<ChangeSignal> signal_ = std::make_shared<ChangeSignal>();
  std::shared_ptr<ConsoleRing> ring_ = std::make_shared<ConsoleRing>(signal_);
  SnapshotBoard board_{signal_};
  std::atomic<bool> loggedOut_{false};
  std::unique_ptr<StreamHub> hub_;
  std::vector<int> readers_;
};

TEST_F(StreamHubTest, NewStreamsGetTheLastHundredLinesThenThePlayers) {
  for (int i = 1; i <= 150; ++i) ring_->append("line " + std::to_string(i), false);
  publishPlayers(2);
  std::string text = readUntil(open(), "event: players");
  EXPECT_EQ(text.find("id: 50\n"), std::string::npos);
  size_t first = text.find(
      "event: console\nid: 51\ndata: {\"error\":false,\"seq\":51,"
      "\"text\":\"line 51\"}\n\n");
  size_t last = text.find("id: 150\n");
  size_t players = text.find("event: players\ndata: [{");
  ASSERT_NE(first, std::string::npos) << text;
  EXPECT_LT(first, last);
  EXPECT_LT(last, players);
  size_t header = text.find("\r\n") + 2;
  EXPECT_EQ(std::stoul(text.substr(0, header), nullptr, 16) + header + 2, text.size())
      << "one chunk, sized as HTTP frames it";
}

TEST_F(StreamHubTest, EachLineIsEncodedOnceForEveryStream) {
  ring_->append("before", false);
  std::vector<int> readers = {open(), open(), open()};
  for (int fd : readers) readUntil(fd, "event: players");
  for (int i = 0; i < 5; ++i) ring_->append("news " + std::to_string(i), i == 4);
  std::vector<std::string> seen;
  for (int fd : readers) seen.push_back(readUntil(fd, "\"news 4\"}"));
  for (const std::string& text : seen) {
    EXPECT_NE(text.find("\"error\":true,\"seq\":6,\"text\":\"news 4\""), std::string::npos) << text;
    EXPECT_EQ(text, seen[0]) << "the streams read the same bytes";
  }
  StreamHub::Counts counts = hub_->counts();
  EXPECT_EQ(counts.open, 3u);
  EXPECT_EQ(counts.linesEncoded, 6u);
  EXPECT_EQ(counts.playersEncoded, 1u);
}

TEST_F(StreamHubTest, OnlyChangedPlayersAreSentAgain) {
  publishPlayers(0);
  int fd = open();
  readUntil(fd, "event: players");
  publishPlayers(0, 500);  // the counters alone
  ring_->append("marker", false);
  EXPECT_EQ(readUntil(fd, "marker").find("event: players"), std::string::npos);
  publishPlayers(1, 500);
  EXPECT_NE(readUntil(fd, "\"kills\":1").find("event: players"), std::string::npos);
  EXPECT_EQ(hub_->counts().playersEncoded, 2u);
}

// The server and the players go out together, so the page's two never
// disagree; a change of the server alone sends both again.
TEST_F(StreamHubTest, TheServerGoesWithThePlayers) {
  publishPlayers(0);
  int fd = open();
  std::string first = readUntil(fd, "event: players");
  ASSERT_NE(first.find("event: server\ndata: {"), std::string::npos) << first;
  EXPECT_LT(first.find("event: server"), first.find("event: players"));
  EXPECT_NE(first.find("\"connected\":false"), std::string::npos) << first;
  publishPlayers(0, 0, true);
  std::string next = readUntil(fd, "event: players");
  EXPECT_NE(next.find("\"connected\":true,\"game\""), std::string::npos) << next;
  EXPECT_NE(next.find("\"players\":1"), std::string::npos) << next;
}

TEST_F(StreamHubTest, AReaderTooSlowIsClosedAndTheOthersGoOn) {
  int slow = open("alice", 4096);
  int fast = open();
  readUntil(slow, "event: players");
  readUntil(fast, "event: players");
  std::string line(ConsoleRing::kMaxLineBytes, 'x');
  // Groups the fast reader takes as they come, past the cap and whatever
  // the system buffers in all.
  size_t perGroup = StreamHub::kMaxQueuedBytes / 4 / line.size();
  for (int group = 0; group < 10; ++group) {
    for (size_t i = 0; i < perGroup; ++i) ring_->append(line, false);
    std::string marker = "group " + std::to_string(group);
    ring_->append(marker, false);
    ASSERT_NE(readUntil(fast, marker).find(marker), std::string::npos);
  }
  bool ended = false;
  readUntil(slow, "never", &ended);
  EXPECT_TRUE(ended);
  StreamHub::Counts counts = hub_->counts();
  EXPECT_EQ(counts.slowClosed, 1u);
  EXPECT_EQ(counts.open, 1u);
}

TEST_F(StreamHubTest, KeepAlivesGoOnlyAtATickAfterFifteenQuietSeconds) {
  int fd = open();
  readUntil(fd, "event: players");
  hub_->tick(1000);  // the backlog went out by now
  const struct {
    uint64_t tickMs;
    bool comment;
  } ticks[] = {{6000, false}, {15999, false}, {16000, true}, {30999, false}, {31000, true}};
  for (const auto& step : ticks) {
    hub_->tick(step.tickMs);
    EXPECT_EQ(readNow(fd), step.comment ? kKeepAliveChunk : "") << step.tickMs;
  }
  // A line restarts the quiet time, from the tick after it at the latest.
  ring_->append("news", false);
  readUntil(fd, "\"news\"");
  hub_->tick(40000);
  hub_->tick(54999);
  EXPECT_EQ(readNow(fd), "");
  hub_->tick(55000);
  EXPECT_EQ(readNow(fd), kKeepAliveChunk);
  EXPECT_EQ(hub_->counts().keepAlives, 3u);
}

TEST_F(StreamHubTest, StreamsEndWithTheirLoginAndAtStop) {
  int gone = open("gone");
  int staying = open();
  readUntil(gone, "event: players");
  readUntil(staying, "event: players");
  loggedOut_ = true;
  ring_->append("after logout", false);
  bool ended = false;
  std::string last = readUntil(gone, "never", &ended);
  EXPECT_TRUE(ended);
  EXPECT_EQ(last.substr(last.size() - kEndChunk.size()), kEndChunk) << last;
  EXPECT_NE(readUntil(staying, "after logout").find("after logout"), std::string::npos);

  hub_->stop();
  ended = false;
  EXPECT_EQ(readUntil(staying, "never", &ended), kEndChunk);
  EXPECT_TRUE(ended);
  int late = open();
  ended = false;
  EXPECT_EQ(readUntil(late, "never", &ended), "") << "closed at once";
  EXPECT_TRUE(ended);
}

}  // namespace
}  // namespace gsadmin
