// The web servers' doors under hostile clients, through the real binary:
// header floods, idle floods and the descriptors they would take, and
// requests without a body.

#include <gtest/gtest.h>
#include <httplib.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <future>
#include <string>
#include <vector>

#include "support/panel_client.h"
#include "support/proc_stats.h"
#include "support/raw_socket.h"

namespace gsadmin::testing {
namespace {

// A connection the server refused and closed must fail a test, not end
// the tests' program: the HTTP library's client writes without
// MSG_NOSIGNAL.
class PanelDoorsTest : public PanelEndToEndTest {
 protected:
  void SetUp() override { signal(SIGPIPE, SIG_IGN); }
};

// How one connection of a header flood ended.
struct Flood {
  bool cutOff = false;  // the server answered or closed it
  size_t sent = 0;
  std::string answer;
};

// Sends a request line, then header lines without an end, `limit` bytes
// at most, until the server answers or closes the connection.
Flood floodHeaders(int port, size_t limit) {
  Flood flood;
  int fd = connectTo(port);
  if (fd < 0) return flood;
  timeval stall{5, 0};
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &stall, sizeof stall);
  std::string lines;
  while (lines.size() < 8192) lines += "X-Flood: 0123456789\r\n";
  std::string text = "GET /api/session HTTP/1.1\r\nHost: x\r\n";
  while (flood.sent < limit) {
    pollfd entry{fd, POLLIN, 0};
    if (poll(&entry, 1, 0) > 0) break;  // an answer, or the close
    ssize_t n = send(fd, text.data(), text.size(), MSG_NOSIGNAL);
    if (n < 0) {
      flood.cutOff = errno != EAGAIN && errno != EWOULDBLOCK;  // reset, not stalled
      break;
    }
    flood.sent += static_cast<size_t>(n);
    text = n == static_cast<ssize_t>(text.size()) ? lines : text.substr(static_cast<size_t>(n));
  }
  bool closed = false;
  flood.answer = readUntilClosed(fd, 5000, &closed);
  flood.cutOff = flood.cutOff || closed;
  close(fd);
  return flood;
}

TEST_F(PanelDoorsTest, AHeaderFloodIsCutOffAndCostsNoMemory) {
  startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_), "--metrics=127.0.0.1:0"});
  int ports[2] = {portOf(*client_, "Panel"), portOf(*client_, "Metrics")};
  ASSERT_NE(ports[0], 0);
  ASSERT_NE(ports[1], 0);
  uint64_t before = residentKiB(client_->pid()).value_or(0);
  // 16 connections on the panel and 4 on the metrics, 2 MiB of header
  // lines each at most: far past the 64 KiB cap.
  constexpr size_t kLimit = 2 * 1024 * 1024;
  std::vector<std::future<Flood>> floods;
  for (int i = 0; i < 20; ++i) {
    int port = ports[i < 16 ? 0 : 1];
    floods.push_back(std::async(std::launch::async, [port] { return floodHeaders(port, kLimit); }));
  }
  uint64_t peak = before;
  for (std::future<Flood>& future : floods) {
    Flood flood = future.get();
    EXPECT_TRUE(flood.cutOff) << "sent " << flood.sent;
    EXPECT_EQ(flood.answer.find("200 OK"), std::string::npos);
    EXPECT_TRUE(flood.answer.starts_with("HTTP/1.1 431 ")) << flood.answer;
    peak = std::max(peak, residentKiB(client_->pid()).value_or(0));
  }
  if (kResidentSizeIsTheProgramsOwn) {
    EXPECT_LT(peak, before + 64 * 1024) << "KiB resident, from " << before;
  }
  httplib::Client http("127.0.0.1", ports[0]);
  EXPECT_EQ(http.Get("/api/session")->status, 401);
}

// Opens `count` connections to `port` that send nothing, from 127.0.1.1,
// 127.0.1.2, ... (`sources` of them, in turn); those that connected.
std::vector<int> openIdle(int port, int count, int sources) {
  std::vector<int> fds;
  for (int i = 0; i < count; ++i) {
    std::string source = "127.0.1." + std::to_string(1 + i % sources);
    int fd = connectTo(port, source.c_str());
    if (fd >= 0) fds.push_back(fd);
  }
  return fds;
}

void closeAll(const std::vector<int>& fds) {
  for (int fd : fds) close(fd);
}

TEST_F(PanelDoorsTest, IdleConnectionsStarveNeitherALoginNorTheMetrics) {
  startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_), "--metrics=127.0.0.1:0"});
  int port = portOf(*client_, "Panel");
  int metricsPort = portOf(*client_, "Metrics");
  ASSERT_NE(port, 0);
  ASSERT_NE(metricsPort, 0);
  std::vector<int> idle = openIdle(port, 300, 30);
  std::vector<int> idleMetrics = openIdle(metricsPort, 8, 1);
  EXPECT_EQ(idle.size(), 300u);
  httplib::Client http("127.0.0.1", port);
  http.set_connection_timeout(5);
  http.set_read_timeout(5);
  int status = -1;
  EXPECT_TRUE(logIn(http, "alice", "secret", &status)) << status;
  httplib::Client metrics("127.0.0.1", metricsPort);
  metrics.set_read_timeout(3);
  httplib::Result scraped = metrics.Get("/metrics");
  ASSERT_TRUE(scraped) << "no answer";
  EXPECT_EQ(scraped->status, 200);
  closeAll(idle);
  closeAll(idleMetrics);
}

TEST_F(PanelDoorsTest, IdleConnectionsLeaveDescriptorsInReserve) {
  // Under a limit of 256 descriptors, half are the rest of the client's.
  std::vector<std::string> args = {"--nofile=256:256",
                                   ClientProcess::defaultBinary(),
                                   "--http=127.0.0.1:0",
                                   "--http-users=" + writeUsers(dir_),
                                   "--no-moderation",
                                   "--no-input",
                                   "127.0.0.1",
                                   std::to_string(peer_.port()),
                                   "Admin",
                                   "pw"};
  if (access("/usr/bin/prlimit", X_OK) != 0) GTEST_SKIP() << "no prlimit command";
  ClientProcess client(args, std::nullopt, "/usr/bin/prlimit");
  int port = portOf(client, "Panel");
  ASSERT_NE(port, 0);
  std::vector<int> idle = openIdle(port, 400, 100);
  httplib::Client http("127.0.0.1", port);
  http.set_connection_timeout(5);
  http.set_read_timeout(5);
  EXPECT_TRUE(logIn(http, "alice", "secret"));
  int open = openDescriptors(client.pid());
  EXPECT_GT(open, 0);
  EXPECT_LE(open, 128) << "descriptors open of 256";
  closeAll(idle);
}

TEST_F(PanelDoorsTest, AnEmptyPostIsARequestWithoutABody) {
  startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_)});
  int port = portOf(*client_, "Panel");
  ASSERT_NE(port, 0);
  httplib::Client http("127.0.0.1", port);
  std::optional<WebUser> alice = logIn(http, "alice", "secret");
  ASSERT_TRUE(alice);
  // As `curl -X POST` sends it: neither a body nor a Content-Length.
  int fd = connectTo(port);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(sendAll(fd, "POST /api/logout HTTP/1.1\r\nHost: x\r\nCookie: " + alice->cookie +
                              "\r\nX-CSRF-Token: " + alice->csrf +
                              "\r\nAccept: */*\r\nConnection: close\r\n\r\n"));
  bool closed = false;
  std::string answer = readUntilClosed(fd, 10000, &closed);
  close(fd);
  EXPECT_TRUE(answer.starts_with("HTTP/1.1 200 ")) << answer;
  EXPECT_EQ(http.Get("/api/session", headersOf(*alice, false))->status, 401) << "logged out";
}

}  // namespace
}  // namespace gsadmin::testing
