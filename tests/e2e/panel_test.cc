// The web panel and the metrics through the real binary: a login over HTTP
// on loopback, the players, an action, the console stream, HTTPS, and the
// options that keep the panel off.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <nlohmann/json.hpp>
#include <thread>

#include "panel/password_hash.h"
#include "protocol/outbound.h"
#include "support/panel_client.h"
#include "support/terminal_process.h"

namespace gsadmin::testing {
namespace {

using nlohmann::json;

TEST_F(PanelEndToEndTest, LogInReadThePlayersKickOneAndSeeTheConsoleLine) {
  startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_)});
  int port = portOf(*client_, "Panel");
  ASSERT_NE(port, 0) << client_->output() << client_->errorOutput();
  ASSERT_TRUE(acceptLogin(peer_, {{3, "Bob"}, {5, "Carol"}}));
  httplib::Client http("127.0.0.1", port);
  http.set_read_timeout(10, 0);

  EXPECT_EQ(http.Get("/api/players")->status, 401) << "no session";
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
  EXPECT_TRUE(client_->waitForLine("* panel:alice kicked Bob"));
  EXPECT_TRUE(streamShows(http, *alice, "\"text\":\"* panel:alice kicked Bob\""));

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

  EXPECT_EQ(http.Post("/api/logout", headersOf(*alice), "", "text/plain")->status, 200);
  EXPECT_EQ(http.Get("/api/players", headersOf(*alice))->status, 401) << "logged out";
}

TEST_F(PanelEndToEndTest, ThePageALowerLevelAndTheMetrics) {
  startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_), "--metrics=127.0.0.1:0"});
  int port = portOf(*client_, "Panel");
  int metricsPort = portOf(*client_, "Metrics");
  ASSERT_NE(metricsPort, 0) << client_->output() << client_->errorOutput();
  ASSERT_TRUE(acceptLogin(peer_, {{3, "Bob"}, {5, "Carol"}}));
  httplib::Client http("127.0.0.1", port);
  // The page and its files need no session; they are embedded in the binary.
  httplib::Result page = http.Get("/");
  ASSERT_TRUE(page);
  EXPECT_NE(page->body.find("<script src=\"/app.js\""), std::string::npos);
  EXPECT_EQ(page->get_header_value("Content-Security-Policy"),
            "default-src 'self'; frame-ancestors 'none'");
  for (const char* path : {"/app.js", "/app.css"}) EXPECT_EQ(http.Get(path)->status, 200) << path;

  std::optional<WebUser> mia = logIn(http, "mia", "secret");
  ASSERT_TRUE(mia);
  httplib::Result refused = http.Post("/api/actions", headersOf(*mia),
                                      R"({"action":"ban","player":5})", "application/json");
  EXPECT_EQ(refused->status, 409);
  EXPECT_EQ(json::parse(refused->body)["error"], "your level may not ban");

  httplib::Client metrics("127.0.0.1", metricsPort);
  std::string text;
  for (int i = 0; i < 200 && text.find("\ngsadmin_players_online 2\n") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    text = metrics.Get("/metrics")->body;
  }
  EXPECT_NE(text.find("\ngsadmin_players_online 2\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\ngsadmin_connected 1\n"), std::string::npos) << text;
}

TEST_F(PanelEndToEndTest, WrongPasswordsThenTheThrottle) {
  startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_)});
  int port = portOf(*client_, "Panel");
  ASSERT_NE(port, 0);
  httplib::Client http("127.0.0.1", port);
  int status = 0;
  for (int i = 0; i < 5; ++i) {
    EXPECT_FALSE(logIn(http, "alice", "wrong", &status));
    EXPECT_EQ(status, 401) << i;
  }
  EXPECT_FALSE(logIn(http, "alice", "secret", &status));
  EXPECT_EQ(status, 429) << "even the right password, for a minute";
  EXPECT_TRUE(logIn(http, "mia", "secret", &status)) << "another account from the same address";
  EXPECT_FALSE(logIn(http, "nobody", "wrong", &status));
  EXPECT_EQ(status, 401) << "a name without an account counts as one";
}

TEST_F(PanelEndToEndTest, ServesHttpsWithACertificate) {
  std::string cert = dir_.path() + "/cert.pem", key = dir_.path() + "/key.pem";
  std::string command =
      "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=localhost "
      "-keyout " +
      key + " -out " + cert + " >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) GTEST_SKIP() << "no openssl command";
  startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_), "--http-cert=" + cert,
               "--http-key=" + key, "--public=127.0.0.1:0"});
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
  // The session's cookie and the browser's.
  EXPECT_EQ(result->get_header_value_count("Set-Cookie"), 2u);
  auto [begin, end] = result->headers.equal_range("Set-Cookie");
  for (auto it = begin; it != end; ++it) {
    EXPECT_NE(it->second.find("; Secure"), std::string::npos) << it->second;
  }
  httplib::Client plain("127.0.0.1", port);
  httplib::Result refused = plain.Get("/api/session");
  EXPECT_TRUE(!refused || refused->status != 200) << "no plain HTTP on the HTTPS port";

  // The public ban record serves HTTPS with the same files.
  std::optional<std::string> publicLine = client_->waitForLine("Public: ", 10000);
  ASSERT_TRUE(publicLine) << client_->errorOutput();
  ASSERT_TRUE(publicLine->starts_with("Public: https://127.0.0.1:")) << *publicLine;
  httplib::SSLClient record("127.0.0.1", std::stoi(publicLine->substr(publicLine->rfind(':') + 1)));
  record.enable_server_certificate_verification(false);
  httplib::Result page = record.Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
}

TEST_F(PanelEndToEndTest, HashPasswordAsksTwiceWithoutEchoOnATerminal) {
  TerminalProcess terminal(ClientProcess::defaultBinary(), {"--hash-password"}, dir_.path());
  ASSERT_TRUE(terminal.waitForRow("Password:")) << terminal.dump();
  terminal.type("pa55word\r");
  ASSERT_TRUE(terminal.waitForRow("Again:")) << terminal.dump();
  terminal.type("pa55word\r");
  // The hash is longer than a row of the terminal: it wraps.
  auto hashOn = [](const ScreenModel& screen) {
    std::string hash;
    std::vector<std::string> rows = screen.rows();
    for (size_t i = 0; i < rows.size(); ++i) {
      if (!rows[i].starts_with("$argon2id$")) continue;
      for (size_t j = i; j < rows.size() && !rows[j].empty(); ++j) hash += rows[j];
    }
    return hash;
  };
  EXPECT_TRUE(terminal.waitFor([&hashOn](const ScreenModel& screen) {
    return verifyPassword(hashOn(screen), "pa55word");
  })) << terminal.dump();
  EXPECT_EQ(terminal.waitExit(), 0);
  EXPECT_EQ(terminal.dump().find("pa55word"), std::string::npos) << "echoed";
}

TEST_F(PanelEndToEndTest, OptionsThatKeepThePanelOff) {
  // Without accounts the client goes on without the panel.
  startClient({"--http=127.0.0.1:0"});
  ASSERT_TRUE(client_->waitForLine("Connecting to"));
  std::string errors = client_->errorOutput();
  EXPECT_EQ(errors.substr(0, errors.find('\n')),
            "gsadmin: the panel is off: no --http-users file names its accounts");
  EXPECT_EQ(client_->output().find("Panel: "), std::string::npos);

  // A port someone holds: one line, and the client goes on.
  int holder = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(holder, 1), 0);
  ASSERT_EQ(getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length), 0);
  std::string held = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
  startClient({"--metrics=" + held});
  ASSERT_TRUE(client_->waitForLine("Connecting to"));
  errors = client_->errorOutput();
  EXPECT_EQ(
      errors.substr(0, errors.find('\n')),
      "gsadmin: the metrics are off: cannot listen on http://" + held + ": Address already in use");
  close(holder);

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
      {{"--public=0.0.0.0:0"},
       "gsadmin: --public: an address other than loopback serves HTTPS only: give --http-cert "
       "and --http-key\n"},
  };
  for (const auto& refusal : refusals) {
    startClient(refusal.options);
    EXPECT_EQ(client_->waitExit(), 2);
    EXPECT_EQ(client_->errorOutput(), refusal.error);
  }
}

}  // namespace
}  // namespace gsadmin::testing
