// The web panel and the metrics through the real binary: a login over HTTP
// on loopback, the players, an action, the console stream, HTTPS, and the
// options that keep the panel off.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <thread>

#include "panel/password_hash.h"
#include "protocol/outbound.h"
#include "sim/server_messages.h"
#include "support/client_process.h"
#include "support/loopback_peer.h"
#include "support/terminal_process.h"

namespace gsadmin::testing {
namespace {

using nlohmann::json;

// A users file in `dir` with alice (level 4) and mia (level 1), both with
// the password "secret"; its path.
std::string writeUsers(const TempDir& dir, mode_t mode = 0600) {
  std::string hash = *hashPassword("secret");
  dir.write("users", "alice 4 " + hash + "\nmia 1 " + hash + "\n");
  std::string path = dir.path() + "/users";
  chmod(path.c_str(), mode);
  return path;
}

// The port of the client's "Panel: ..." or "Metrics: ..." line; 0 when none came.
int portOf(ClientProcess& client, const std::string& what) {
  std::optional<std::string> line = client.waitForLine(what + ": ", 10000);
  std::smatch match;
  if (!line || !std::regex_search(*line, match, std::regex(":([0-9]+)/"))) return 0;
  return std::stoi(match[1]);
}

bool acceptLogin(LoopbackPeer& peer, const std::vector<ListedPlayer>& players) {
  std::optional<Datagram> login = peer.receive(5000);
  if (!login || (*login)[0] != 0x0D) return false;
  return peer.send(connectionAccepted(ServerRecord(), players));
}

std::optional<Datagram> nextCommand(LoopbackPeer& peer) {
  for (;;) {
    std::optional<Datagram> datagram = peer.receive(5000);
    if (!datagram || (*datagram)[0] != 0x1D) return datagram;  // details requests skipped
  }
}

// A logged-in client of the panel: its cookie and CSRF token.
struct WebUser {
  std::string cookie;
  std::string csrf;
};

std::optional<WebUser> logIn(httplib::Client& http, const std::string& name,
                             const std::string& password, int* status = nullptr) {
  json body = {{"name", name}, {"password", password}};
  httplib::Result result = http.Post("/api/login", body.dump(), "application/json");
  if (status) *status = result ? result->status : -1;
  if (!result || result->status != 200) return std::nullopt;
  std::string cookie = result->get_header_value("Set-Cookie");
  return WebUser{cookie.substr(0, cookie.find(';')),
                 json::parse(result->body)["csrf"].get<std::string>()};
}

httplib::Headers headersOf(const WebUser& user, bool withCsrf = true) {
  httplib::Headers headers = {{"Cookie", user.cookie}};
  if (withCsrf) headers.emplace("X-CSRF-Token", user.csrf);
  return headers;
}

// Reads the event stream until `needle` shows; false when it never did.
bool streamShows(httplib::Client& http, const WebUser& user, const std::string& needle) {
  std::string seen;
  bool found = false;
  http.Get("/api/events", headersOf(user, false), [&](const char* data, size_t length) {
    seen.append(data, length);
    found = seen.find(needle) != std::string::npos;
    return !found;
  });
  return found;
}

class PanelEndToEndTest : public ::testing::Test {
 protected:
  void startClient(std::vector<std::string> options) {
    options.insert(options.end(), {"--no-moderation", "--no-input", "127.0.0.1",
                                   std::to_string(peer_.port()), "Admin", "pw"});
    client_ = std::make_unique<ClientProcess>(options, std::nullopt);
  }

  TempDir dir_;
  LoopbackPeer peer_;
  std::unique_ptr<ClientProcess> client_;
};

TEST_F(PanelEndToEndTest, LogInReadThePlayersKickOneAndSeeTheConsoleLine) {
  startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_), "--metrics=127.0.0.1:0"});
  int port = portOf(*client_, "Panel");
  int metricsPort = portOf(*client_, "Metrics");
  ASSERT_NE(port, 0) << client_->output() << client_->errorOutput();
  ASSERT_NE(metricsPort, 0);
  ASSERT_TRUE(acceptLogin(peer_, {{3, "Bob"}, {5, "Carol"}}));
  httplib::Client http("127.0.0.1", port);
  http.set_read_timeout(10, 0);

  EXPECT_EQ(http.Get("/api/players")->status, 401) << "no session";
  // The page and its files need no session; they are embedded in the binary.
  httplib::Result page = http.Get("/");
  ASSERT_TRUE(page);
  EXPECT_NE(page->body.find("<script src=\"/app.js\""), std::string::npos);
  EXPECT_EQ(page->get_header_value("Content-Security-Policy"),
            "default-src 'self'; frame-ancestors 'none'");
  for (const char* path : {"/app.js", "/app.css"}) EXPECT_EQ(http.Get(path)->status, 200) << path;
  std::optional<WebUser> alice = logIn(http, "alice", "secret");
  ASSERT_TRUE(alice);
  json players;
  for (int i = 0; i < 200 && players.size() != 2; ++i) {
    players = json::parse(http.Get("/api/players", headersOf(*alice))->body);
    if (players.size() != 2) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_EQ(players.size(), 2u) << players;
  EXPECT_EQ(players[0]["name"], "Bob");
  EXPECT_EQ(players[1]["id"], 5);
  json server = json::parse(http.Get("/api/server", headersOf(*alice))->body);
  EXPECT_EQ(server["name"], "Test Server");
  EXPECT_EQ(server["connected"], true);

  std::string kick = R"({"action":"kick","player":3})";
  EXPECT_EQ(http.Post("/api/actions", headersOf(*alice, false), kick, "application/json")->status,
            403)
      << "no CSRF token";
  httplib::Result done = http.Post("/api/actions", headersOf(*alice), kick, "application/json");
  ASSERT_TRUE(done);
  EXPECT_EQ(done->status, 200) << done->body;
  EXPECT_EQ(nextCommand(peer_), buildKickRequest(3));
  EXPECT_TRUE(client_->waitForLine("* alice (panel): kick Bob"));
  EXPECT_TRUE(streamShows(http, *alice, "\"text\":\"* alice (panel): kick Bob\""));

  // A join reaches an open stream as a new snapshot of the players.
  std::atomic<bool> joinSeen{false};
  std::thread reader([&]() {
    httplib::Client stream("127.0.0.1", port);
    stream.set_read_timeout(20, 0);
    joinSeen = streamShows(stream, *alice, "\"name\":\"Dave\"");
  });
  ASSERT_TRUE(peer_.send(playerJoined(9, "Dave")));
  reader.join();
  EXPECT_TRUE(joinSeen);

  std::optional<WebUser> mia = logIn(http, "mia", "secret");
  ASSERT_TRUE(mia);
  httplib::Result refused = http.Post("/api/actions", headersOf(*mia),
                                      R"({"action":"ban","player":5})", "application/json");
  EXPECT_EQ(refused->status, 409);
  EXPECT_EQ(json::parse(refused->body)["error"], "your level may not ban");

  httplib::Client metrics("127.0.0.1", metricsPort);
  std::string text = metrics.Get("/metrics")->body;
  EXPECT_NE(text.find("\ngsadmin_players_online 3\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\ngsadmin_connected 1\n"), std::string::npos) << text;

  EXPECT_EQ(http.Post("/api/logout", headersOf(*alice), "", "text/plain")->status, 200);
  EXPECT_EQ(http.Get("/api/players", headersOf(*alice))->status, 401) << "logged out";
}

// A raw connection to the panel; -1 when it cannot connect.
int connectTo(int port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Everything the server sends until it closes the connection or
// `timeoutMs` passes; `closed` tells which.
std::string readUntilClosed(int fd, int timeoutMs, bool* closed) {
  std::string text;
  *closed = false;
  pollfd entry{fd, POLLIN, 0};
  while (poll(&entry, 1, timeoutMs) > 0) {
    char buffer[4096];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) {
      *closed = true;
      break;
    }
    text.append(buffer, static_cast<size_t>(n));
  }
  return text;
}

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
  EXPECT_TRUE(closed) << "the read timeout closes it";
  close(slow);
  // Meanwhile and after, the panel answers.
  EXPECT_EQ(http.Get("/api/session")->status, 401);
}

TEST_F(PanelEndToEndTest, FiftyStreamsAtOnceAndTheRestStillAnswers) {
  startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_)});
  int port = portOf(*client_, "Panel");
  ASSERT_NE(port, 0);
  httplib::Client http("127.0.0.1", port);
  std::optional<WebUser> alice = logIn(http, "alice", "secret");
  ASSERT_TRUE(alice);
  constexpr int kStreams = 50;
  std::atomic<int> open{0};
  std::atomic<bool> done{false};
  std::vector<std::thread> readers;
  for (int i = 0; i < kStreams; ++i) {
    readers.emplace_back([&]() {
      httplib::Client stream("127.0.0.1", port);
      bool counted = false;
      stream.Get("/api/events", headersOf(*alice, false), [&](const char*, size_t) {
        if (!counted) ++open;
        counted = true;
        return !done;
      });
    });
  }
  for (int i = 0; i < 1000 && open < kStreams; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(open, kStreams);
  EXPECT_EQ(http.Get("/api/events", headersOf(*alice, false))->status, 503) << "one too many";
  EXPECT_EQ(http.Get("/api/server", headersOf(*alice, false))->status, 200);
  done = true;
  // A console line wakes every stream, whose readers then hang up.
  ASSERT_TRUE(acceptLogin(peer_, {}));
  for (std::thread& reader : readers) reader.join();
}

TEST_F(PanelEndToEndTest, WrongPasswordsThenTheThrottle) {
  startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_)});
  int port = portOf(*client_, "Panel");
  ASSERT_NE(port, 0);
  httplib::Client http("127.0.0.1", port);
  int status = 0;
  for (int i = 0; i < 5; ++i) {
    EXPECT_FALSE(logIn(http, i % 2 ? "alice" : "nobody", "wrong", &status));
    EXPECT_EQ(status, 401) << i;
  }
  EXPECT_FALSE(logIn(http, "alice", "secret", &status));
  EXPECT_EQ(status, 429) << "even the right password, for a minute";
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
  EXPECT_EQ(client_->waitExit(20000), 0);
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

TEST_F(PanelEndToEndTest, ServesHttpsWithACertificate) {
  std::string cert = dir_.path() + "/cert.pem", key = dir_.path() + "/key.pem";
  std::string command =
      "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=localhost "
      "-keyout " +
      key + " -out " + cert + " >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) GTEST_SKIP() << "no openssl command";
  startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_), "--http-cert=" + cert,
               "--http-key=" + key});
  std::optional<std::string> line = client_->waitForLine("Panel: ", 10000);
  ASSERT_TRUE(line) << client_->errorOutput();
  ASSERT_TRUE(line->starts_with("Panel: https://127.0.0.1:")) << *line;
  int port = std::stoi(line->substr(line->rfind(':') + 1));
  httplib::SSLClient https("127.0.0.1", port);
  https.enable_server_certificate_verification(false);
  httplib::Result result =
      https.Post("/api/login", R"({"name":"alice","password":"secret"})", "application/json");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 200);
  EXPECT_NE(result->get_header_value("Set-Cookie").find("; Secure"), std::string::npos);
  httplib::Client plain("127.0.0.1", port);
  httplib::Result refused = plain.Get("/api/session");
  EXPECT_TRUE(!refused || refused->status != 200) << "no plain HTTP on the HTTPS port";
}

TEST_F(PanelEndToEndTest, HashPasswordAsksTwiceWithoutEchoOnATerminal) {
  TerminalProcess terminal(ClientProcess::defaultBinary(), {"--hash-password"}, dir_.path());
  ASSERT_TRUE(terminal.waitForRow("Password:")) << terminal.dump();
  terminal.type("pa55word\r");
  ASSERT_TRUE(terminal.waitForRow("Again:")) << terminal.dump();
  terminal.type("pa55word\r");
  std::string hash;
  ASSERT_EQ(terminal.waitExit(), 0);
  // The hash is longer than a row of the terminal: it wraps.
  std::vector<std::string> rows = terminal.screen().rows();
  for (size_t i = 0; i < rows.size(); ++i) {
    if (!rows[i].starts_with("$argon2id$")) continue;
    for (size_t j = i; j < rows.size() && !rows[j].empty(); ++j) hash += rows[j];
  }
  EXPECT_EQ(terminal.dump().find("pa55word"), std::string::npos) << "echoed";
  EXPECT_TRUE(verifyPassword(hash, "pa55word")) << hash;
}

TEST_F(PanelEndToEndTest, OptionsThatKeepThePanelOff) {
  // Without accounts the client goes on without the panel.
  startClient({"--http=127.0.0.1:0"});
  ASSERT_TRUE(client_->waitForLine("Connecting to"));
  std::string errors = client_->errorOutput();
  EXPECT_EQ(errors.substr(0, errors.find('\n')),
            "gsadmin: the panel is off: no --http-users file names its accounts");
  EXPECT_EQ(client_->output().find("Panel: "), std::string::npos);

  const struct {
    std::vector<std::string> options;
    std::string error;
  } refusals[] = {
      {{"--http=0.0.0.0:0", "--http-users=" + writeUsers(dir_)},
       "gsadmin: --http: an address other than loopback serves HTTPS only: give --http-cert "
       "and --http-key\n"},
      {{"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_, 0644)},
       "gsadmin: --http-users: " + dir_.path() +
           "/users is readable by group or others; make it private (chmod 600)\n"},
      {{"--http=127.0.0.1:0", "--http-cert=c.pem", "--http-users=x"},
       "gsadmin: --http-cert and --http-key go together\n"},
  };
  for (const auto& refusal : refusals) {
    startClient(refusal.options);
    EXPECT_EQ(client_->waitExit(), 2);
    EXPECT_EQ(client_->errorOutput(), refusal.error);
  }
}

}  // namespace
}  // namespace gsadmin::testing
