// The web panel's limits through the real binary: huge and slow requests,
// many streams, stopping with a stream open, and signals.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <thread>

#include "support/panel_client.h"
#include "support/raw_socket.h"

namespace gsadmin::testing {
namespace {

using nlohmann::json;

TEST_F(PanelEndToEndTest, HugeOrSlowRequestsAndStrangePathsAreRefused) {
  startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_)});
  int port = portOf(*client_, "Panel");
  ASSERT_NE(port, 0);
  httplib::Client http("127.0.0.1", port);
  std::string body = R"({"name":"alice","password":")" + std::string(70000, 'x') + "\"}";
  httplib::Result huge = http.Post("/api/login", body, "application/json");
  EXPECT_TRUE(!huge || huge->status == 413) << "a body over 64 KiB";
  for (const char* path : {"/../etc/passwd", "/%2e%2e/%2e%2e/etc/passwd", "/api/../../x"}) {
    httplib::Result result = http.Get(path);
    ASSERT_TRUE(result) << path;
    EXPECT_TRUE(result->status == 404 || result->status == 400) << path << " " << result->status;
    EXPECT_EQ(result->body.find("root:"), std::string::npos) << path;
  }

  int big = connectTo(port);
  std::string header =
      "GET /api/session HTTP/1.1\r\nX-Big: " + std::string(20000, 'a') + "\r\n\r\n";
  ASSERT_EQ(write(big, header.data(), header.size()), static_cast<ssize_t>(header.size()));
  bool closed = false;
  std::string answer = readUntilClosed(big, 20000, &closed);
  EXPECT_TRUE(closed);
  EXPECT_EQ(answer.find("200 OK"), std::string::npos) << answer;
  close(big);

  // Half a request, then silence: the server gives up on it.
  int slow = connectTo(port);
  std::string half = "GET /api/session HTTP/1.1\r\nHost: x\r\n";
  ASSERT_EQ(write(slow, half.data(), half.size()), static_cast<ssize_t>(half.size()));
  readUntilClosed(slow, 20000, &closed);
  EXPECT_TRUE(closed) << "the headers time-out closes it";
  close(slow);
  // Meanwhile and after, the panel answers.
  EXPECT_EQ(http.Get("/api/session")->status, 401);
}

// Sends `chunks` one each `gapMs` (and then nothing) until the server
// closes the connection or `limitMs` passes; when it closed, in
// milliseconds from the first chunk, or nothing.
std::optional<int64_t> trickleUntilClosed(int fd, const std::vector<std::string>& chunks, int gapMs,
                                          int64_t limitMs) {
  auto start = std::chrono::steady_clock::now();
  auto elapsedMs = [&start]() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
  };
  for (size_t i = 0; elapsedMs() < limitMs; ++i) {
    bool closed = false;
    if (i < chunks.size()) {
      const std::string& chunk = chunks[i];
      closed = send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL) != ssize_t(chunk.size());
    }
    if (!closed) readUntilClosed(fd, gapMs, &closed);
    if (closed) return elapsedMs();
  }
  return std::nullopt;
}

// `text` a byte at a time.
std::vector<std::string> bytesOf(const std::string& text) {
  std::vector<std::string> bytes;
  for (char c : text) bytes.emplace_back(1, c);
  return bytes;
}

// A PEM certificate and key in `dir` made by the openssl command; false
// when there is no such command.
bool makeCertificate(const TempDir& dir, std::string* cert, std::string* key) {
  *cert = dir.path() + "/cert.pem";
  *key = dir.path() + "/key.pem";
  std::string command =
      "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=localhost -keyout " + *key +
      " -out " + *cert + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

// A normal request's status on the panel at `port`; -1 for no answer.
int sessionStatus(int port, bool tls) {
  std::unique_ptr<httplib::ClientImpl> http;
  if (tls) {
    auto https = std::make_unique<httplib::SSLClient>("127.0.0.1", port);
    https->enable_server_certificate_verification(false);
    http = std::move(https);
  } else {
    http = std::make_unique<httplib::ClientImpl>("127.0.0.1", port);
  }
  httplib::Result result = http->Get("/api/session");
  return result ? result->status : -1;
}

TEST_F(PanelEndToEndTest, ATricklingClientIsCutOffAndTheNextRequestAnswers) {
  std::string cert, key;
  if (!makeCertificate(dir_, &cert, &key)) GTEST_SKIP() << "no openssl command";
  std::string users = "--http-users=" + writeUsers(dir_);
  startClient({"--http=127.0.0.1:0", users});
  ClientProcess tlsClient(
      {"--http=127.0.0.1:0", users, "--http-cert=" + cert, "--http-key=" + key, "--no-moderation",
       "--no-input", "127.0.0.1", std::to_string(peer_.port()), "Admin", "pw"},
      std::nullopt);
  int ports[2] = {portOf(*client_, "Panel"), portOf(tlsClient, "Panel")};
  ASSERT_NE(ports[0], 0);
  ASSERT_NE(ports[1], 0);
  // Each chunk comes well within the idle time-out (5 s), so only a bound on
  // the headers (10 s) ends these: headers a byte at a time; whole
  // header lines every 3 s, where the limit falls between two lines and the
  // client goes on with what would be a new request; and a TLS handshake
  // whose first record never completes. All at once, to save the time.
  struct Case {
    const char* name;
    bool tls;
    std::vector<std::string> chunks;
    int gapMs;
  };
  const Case cases[] = {
      {"header bytes", false,
       bytesOf("GET /api/session HTTP/1.1\r\nHost: x\r\nX-Slow: " + std::string(64, 'a')), 1000},
      {"header lines",
       false,
       {"GET /api/session HTTP/1.1\r\n", "A: 1\r\n", "B: 2\r\n", "C: 3\r\n", "D: 4\r\n", "E: 5\r\n",
        "F: 6\r\n", "G: 7\r\n", "H: 8\r\n", "I: 9\r\n"},
       3000},
      {"TLS handshake", true,
       bytesOf(std::string("\x16\x03\x01\x02\x00", 5) + std::string(64, '\x01')), 1000}};
  std::vector<std::future<std::optional<int64_t>>> closings;
  for (const Case& c : cases) {
    closings.push_back(std::async(std::launch::async, [&c, &ports]() {
      int slow = connectTo(ports[c.tls]);
      std::optional<int64_t> closedMs = trickleUntilClosed(slow, c.chunks, c.gapMs, 30000);
      close(slow);
      return closedMs;
    }));
  }
  for (size_t i = 0; i < closings.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    std::optional<int64_t> closedMs = closings[i].get();
    ASSERT_TRUE(closedMs) << "still open after 30 s";
    EXPECT_GE(*closedMs, 9000) << "before the bound";
    EXPECT_LT(*closedMs, 15000) << "long after the bound";
  }
  EXPECT_EQ(sessionStatus(ports[0], false), 401);
  EXPECT_EQ(sessionStatus(ports[1], true), 401);
}

// Asks for the event stream on a connection of its own, kept open; the
// answer's status line and the connection (-1 when refused).
std::pair<std::string, int> openStream(int port, const WebUser& user) {
  int fd = connectTo(port);
  sendAll(fd, "GET /api/events HTTP/1.1\r\nHost: x\r\nCookie: " + user.cookie + "\r\n\r\n");
  std::string answer;
  pollfd entry{fd, POLLIN, 0};
  while (answer.find("\r\n\r\n") == std::string::npos && poll(&entry, 1, 5000) > 0) {
    char buffer[4096];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    answer.append(buffer, static_cast<size_t>(n));
  }
  std::string status = answer.substr(0, answer.find('\r'));
  if (status != "HTTP/1.1 200 OK") {
    close(fd);
    fd = -1;
  }
  return {status, fd};
}

TEST_F(PanelEndToEndTest, StreamsAreCappedPerSessionAndPerAccount) {
  startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_)});
  int port = portOf(*client_, "Panel");
  ASSERT_NE(port, 0);
  httplib::Client http("127.0.0.1", port);
  // Five logins of one account: 4 streams each would be 20.
  std::vector<WebUser> sessions;
  for (int i = 0; i < 5; ++i) {
    std::optional<WebUser> alice = logIn(http, "alice", "secret");
    ASSERT_TRUE(alice);
    sessions.push_back(*alice);
  }
  std::vector<int> open;
  for (size_t session = 0; session < sessions.size(); ++session) {
    for (int i = 0; i < 5; ++i) {
      SCOPED_TRACE("session " + std::to_string(session) + " stream " + std::to_string(i));
      auto [status, fd] = openStream(port, sessions[session]);
      bool allowed = i < 4 && session < 4;
      EXPECT_EQ(status, allowed ? "HTTP/1.1 200 OK" : "HTTP/1.1 429 Too Many Requests");
      if (fd >= 0) open.push_back(fd);
    }
  }
  EXPECT_EQ(open.size(), 16u);
  httplib::Result refused = http.Get("/api/events", headersOf(sessions[0], false));
  ASSERT_TRUE(refused);
  EXPECT_EQ(json::parse(refused->body)["error"], "too many open streams for this session");
  // Another account still streams, and requests still answer.
  std::optional<WebUser> mia = logIn(http, "mia", "secret");
  ASSERT_TRUE(mia);
  auto [miaStatus, miaFd] = openStream(port, *mia);
  EXPECT_EQ(miaStatus, "HTTP/1.1 200 OK");
  EXPECT_EQ(http.Get("/api/server", headersOf(*mia, false))->status, 200);
  for (int fd : open) close(fd);
  if (miaFd >= 0) close(miaFd);
}

// Where each thread of `pid` waits, one line a thread, for a failure that
// must say what the process was stuck in.
std::string threadWaits(pid_t pid) {
  std::string waits;
  std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(tasks, error)) {
    std::string comm, wchan, syscall;
    std::getline(std::ifstream(entry.path() / "comm"), comm);
    std::getline(std::ifstream(entry.path() / "wchan"), wchan);
    std::getline(std::ifstream(entry.path() / "syscall"), syscall);
    waits += entry.path().filename().string() + " " + comm + ": " + wchan + " (" +
             syscall.substr(0, syscall.find(' ')) + ")\n";
  }
  return waits;
}

TEST_F(PanelEndToEndTest, StopsPromptlyWithAStreamOpen) {
  startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_)});
  int port = portOf(*client_, "Panel");
  ASSERT_NE(port, 0);
  httplib::Client http("127.0.0.1", port);
  std::optional<WebUser> alice = logIn(http, "alice", "secret");
  ASSERT_TRUE(alice);
  std::atomic<bool> streaming{false};
  std::thread reader([&]() {
    httplib::Client stream("127.0.0.1", port);
    stream.Get("/api/events", headersOf(*alice, false), [&](const char*, size_t) {
      streaming = true;
      return true;
    });
  });
  while (!streaming) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  client_->kill(SIGTERM);
  int status = client_->waitExit(20000);
  EXPECT_EQ(status, 0) << threadWaits(client_->pid()) << client_->output();
  if (status == -1) client_->kill(SIGKILL);
  reader.join();
}

// The signal mask of each of the process's threads but the main one.
std::vector<uint64_t> otherThreadsBlocked(pid_t pid) {
  std::vector<uint64_t> masks;
  std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  for (const auto& entry : std::filesystem::directory_iterator(tasks)) {
    if (entry.path().filename() == std::to_string(pid)) continue;
    std::ifstream status(entry.path() / "status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.starts_with("SigBlk:")) masks.push_back(std::stoull(line.substr(7), nullptr, 16));
    }
  }
  return masks;
}

TEST_F(PanelEndToEndTest, OnlyTheLoopsThreadTakesSignals) {
  startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_), "--metrics=127.0.0.1:0"});
  ASSERT_NE(portOf(*client_, "Metrics"), 0);
  std::vector<uint64_t> masks = otherThreadsBlocked(client_->pid());
  ASSERT_FALSE(masks.empty()) << "the servers run threads";
  for (uint64_t mask : masks) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGWINCH}) {
      EXPECT_NE(mask & (uint64_t{1} << (signal - 1)), 0u) << "signal " << signal;
    }
  }
}

}  // namespace
}  // namespace gsadmin::testing
