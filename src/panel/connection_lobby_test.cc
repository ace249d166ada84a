#include "panel/connection_lobby.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "panel/web_server.h"
#include "support/raw_socket.h"

namespace gsadmin {
namespace {

using testing::connectTo;
using testing::readUntilClosed;
using testing::sendAll;

// A plain server on a loopback port with small caps, whose /hold
// requests wait until release() and whose /ping answers "pong".
class LobbyTest : public ::testing::Test {
 protected:
  void start(size_t maxConnections, size_t maxPerAddress,
             std::chrono::milliseconds timeouts = std::chrono::milliseconds(10000)) {
    ServerLimits limits;
    limits.idle = limits.headers = limits.body = timeouts;
    limits.maxConnections = maxConnections;
    limits.maxPerAddress = maxPerAddress;
    limits.maxHeaderBytes = 1024;
    limits.maxBodyBytes = 1024;
    limits.workers = 2;
    std::string error;
    server_ = WebServer::create(std::nullopt, std::nullopt, limits, &error);
    ASSERT_TRUE(server_) << error;
    std::shared_future<void> released = release_.get_future().share();
    server_->routes().get("/hold",
                          [this, released](const httplib::Request&, httplib::Response& res) {
                            ++holding_;
                            released.wait();
                            res.set_content("held", "text/plain");
                          });
    server_->routes().get("/ping", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("pong", "text/plain");
    });
    // Claims its connection after the headers; the test then writes.
    server_->routes().get("/claim", [this](const httplib::Request&, httplib::Response& res) {
      bool claimed = server_->claim([this](std::unique_ptr<Connection> connection) {
        claimed_.set_value(std::move(connection));
      });
      res.set_chunked_content_provider("text/plain",
                                       [](size_t, httplib::DataSink&) { return false; });
      if (!claimed) res.status = 500;
    });
    server_->routes().post("/echo", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content("[" + req.body + "]", "text/plain");
    });
    std::optional<uint16_t> port = server_->listen({"127.0.0.1", 0}, &error);
    ASSERT_TRUE(port) << error;
    port_ = *port;
  }
  void TearDown() override {
    if (!released_) release_.set_value();
    if (server_) server_->stop();
  }
  void release() {
    released_ = true;
    release_.set_value();
  }

  // A connection from `source` that made one request and now idles.
  int idleFrom(const char* source) {
    int fd = connectTo(port_, source);
    EXPECT_TRUE(sendAll(fd, "GET /ping HTTP/1.1\r\nHost: x\r\n\r\n"));
    char buffer[512];
    EXPECT_GT(read(fd, buffer, sizeof buffer), 0);
    // The worker hands the connection back to the lobby just after it
    // answered; until then it is no candidate to make room, so the order
    // of the next connections would not be the order of idling.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return fd;
  }

  std::unique_ptr<WebServer> server_;
  int port_ = 0;
  std::promise<void> release_;
  std::atomic<int> holding_{0};  // /hold requests at a worker
  std::promise<std::unique_ptr<Connection>> claimed_;
  bool released_ = false;
};

// A connection claimed by its route goes on past the library's answer:
// the headers went, and the rest is the taker's to write.
TEST_F(LobbyTest, AClaimedConnectionGoesToItsTakerAfterTheHeaders) {
  start(8, 8);
  EXPECT_FALSE(server_->claim([](std::unique_ptr<Connection>) {})) << "no request here";
  std::future<std::unique_ptr<Connection>> taken = claimed_.get_future();
  std::thread writer([&] {
    std::unique_ptr<Connection> connection = taken.get();
    std::string rest = "5\r\nhello\r\n0\r\n\r\n";
    size_t written = 0;
    while (written < rest.size()) {
      connection->writeSome(rest.data() + written, rest.size() - written, &written);
    }
  });
  httplib::Client client("127.0.0.1", port_);
  httplib::Result result = client.Get("/claim");
  writer.join();
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 200);
  EXPECT_EQ(result->body, "hello");
  // The lobby forgot it and serves on.
  EXPECT_EQ(client.Get("/ping")->body, "pong");
}

// Whether the server closed `fd` (a short wait for one that stays open).
bool closedByServer(int fd, int waitMs) {
  bool closed = false;
  readUntilClosed(fd, waitMs, &closed);
  return closed;
}

TEST_F(LobbyTest, AtACapTheConnectionIdleLongestGivesWay) {
  start(3, 2);
  int a = idleFrom("127.0.0.2");
  int b = idleFrom("127.0.0.2");
  int c = idleFrom("127.0.0.2");  // past the address's cap: a goes
  EXPECT_TRUE(closedByServer(a, 5000));
  int d = idleFrom("127.0.0.3");
  int e = idleFrom("127.0.0.4");  // past the cap in all: b goes
  EXPECT_TRUE(closedByServer(b, 5000));
  for (int fd : {c, d, e}) EXPECT_FALSE(closedByServer(fd, 100));
  for (int fd : {a, b, c, d, e}) close(fd);
}

// More connections from one address than it may have, each sending its
// request at once: each is answered or refused with 503, never closed
// with its request unread to make room for the next.
TEST_F(LobbyTest, ARequestSentAtOnceIsAnsweredOrRefusedNeverDropped) {
  start(64, 4);
  for (int round = 0; round < 20; ++round) {
    std::vector<int> fds;
    for (int i = 0; i < 12; ++i) {
      int fd = connectTo(port_, "127.0.0.5");
      ASSERT_GE(fd, 0);
      sendAll(fd, "GET /ping HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
      fds.push_back(fd);
    }
    for (int fd : fds) {
      bool closed = false;
      std::string answer = readUntilClosed(fd, 5000, &closed);
      close(fd);
      EXPECT_TRUE(answer.ends_with("pong") || answer.starts_with("HTTP/1.1 503 "))
          << "round " << round << ": " << answer;
    }
  }
}

TEST_F(LobbyTest, WhenEveryConnectionIsBusyANewOneGets503) {
  start(2, 2);
  int busy[2];
  for (int& fd : busy) {
    fd = connectTo(port_);
    ASSERT_TRUE(sendAll(fd, "GET /hold HTTP/1.1\r\nHost: x\r\n\r\n"));
  }
  // Once both are at a worker, a third connection finds nothing to close
  // for room.
  for (int i = 0; i < 1000 && holding_ < 2; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(holding_, 2);
  int late = connectTo(port_);
  bool closed = false;
  sendAll(late, "GET /ping HTTP/1.1\r\nHost: x\r\n\r\n");
  std::string answer = readUntilClosed(late, 5000, &closed);
  close(late);
  EXPECT_TRUE(answer.starts_with("HTTP/1.1 503 ")) << answer;
  EXPECT_NE(answer.find("{\"error\":\"too many connections\"}"), std::string::npos) << answer;
  release();
  for (int fd : busy) {
    bool closed = false;
    EXPECT_NE(readUntilClosed(fd, 1000, &closed).find("held"), std::string::npos);
    close(fd);
  }
}

TEST_F(LobbyTest, PipelinedRequestsAndAnEmptyPostAreAnsweredInTurn) {
  start(4, 4);
  int fd = connectTo(port_);
  ASSERT_TRUE(sendAll(fd,
                      "POST /echo HTTP/1.1\r\nHost: x\r\n\r\n"
                      "POST /echo HTTP/1.1\r\nContent-Length: 2\r\n\r\nhi"
                      "GET /ping HTTP/1.1\r\nConnection: close\r\n\r\n"));
  bool closed = false;
  std::string answers = readUntilClosed(fd, 5000, &closed);
  close(fd);
  EXPECT_TRUE(closed);
  size_t empty = answers.find("[]");
  size_t hi = answers.find("[hi]");
  size_t pong = answers.find("pong");
  ASSERT_NE(pong, std::string::npos) << answers;
  EXPECT_LT(empty, hi);
  EXPECT_LT(hi, pong);
}

TEST_F(LobbyTest, RequestsPastTheCapsAreRefusedAndClosed) {
  start(4, 4);
  struct Case {
    std::string request;
    const char* status;
  };
  const Case cases[] = {
      {"GET /ping HTTP/1.1\r\nX: " + std::string(2000, 'a') + "\r\n\r\n", "431"},
      {"GET /ping HTTP/1.1\r\n" + std::string(2000, 'a'), "431"},
      {"POST /echo HTTP/1.1\r\nContent-Length: 1025\r\n\r\n", "413"},
      {"POST /echo HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nhi\r\n0\r\n\r\n", "411"},
      {"POST /echo HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n", "400"},
  };
  for (const Case& c : cases) {
    int fd = connectTo(port_);
    sendAll(fd, c.request);
    bool closed = false;
    std::string answer = readUntilClosed(fd, 5000, &closed);
    close(fd);
    EXPECT_TRUE(answer.starts_with(std::string("HTTP/1.1 ") + c.status + " ")) << answer;
    EXPECT_TRUE(closed) << c.status;
  }
}

TEST_F(LobbyTest, ConnectionsIdleOrSlowAreClosed) {
  start(8, 8, std::chrono::milliseconds(200));
  const char* cases[] = {
      "",                                                    // idle from the start
      "GET /ping HTTP/1.1\r\nHost:",                         // headers never end
      "POST /echo HTTP/1.1\r\nContent-Length: 9\r\n\r\nab",  // the body never ends
  };
  for (const char* sent : cases) {
    int fd = connectTo(port_);
    sendAll(fd, sent);
    bool closed = false;
    std::string answer = readUntilClosed(fd, 5000, &closed);
    close(fd);
    EXPECT_TRUE(closed) << sent;
    EXPECT_EQ(answer, "") << sent;
  }
  // And after an answer, the idle time-out again.
  int fd = idleFrom("127.0.0.1");
  EXPECT_TRUE(closedByServer(fd, 5000));
  close(fd);
}

}  // namespace
}  // namespace gsadmin
