// Scripts' HTTP requests through the real binary, against a real HTTP
// server and a silent one, both on loopback ports the test opened.

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/server_messages.h"
#include "support/admin_login.h"
#include "support/client_process.h"
#include "support/console_lines.h"
#include "support/http_test_server.h"
#include "support/loopback_peer.h"
#include "support/text_file.h"

namespace gsadmin::testing {
namespace {

std::vector<std::string> clientArgs(const std::vector<std::string>& options,
                                    const LoopbackPeer& peer) {
  std::vector<std::string> args = options;
  for (const char* word : {"127.0.0.1", "", "Admin", "pw"}) args.emplace_back(word);
  args[args.size() - 3] = std::to_string(peer.port());
  return args;
}

TEST(HttpRequestsEndToEndTest, AnswerReachesTheHandlerAndRefusalsAreOneLine) {
  HttpTestServer server;
  server.server().Post("/hook", [](const httplib::Request& request, httplib::Response& response) {
    response.status = 201;
    response.set_header("X-Seen", request.get_header_value("X-Token"));
    response.set_content(request.method + ":" + request.body, "text/plain");
  });
  ASSERT_TRUE(server.start());
  std::string script =
      "function done(id, status, body, headers)\n"
      "  print('done ' .. id .. ' ' .. status .. ' ' .. body .. ' ' .. "
      "headers['x-seen'])\n"
      "end\n"
      "print('id ' .. tostring(httpRequest('post', '" +
      server.url("/hook") +
      "', 'ping', {['X-Token'] = 't'}, 'done')))\n"
      "httpRequest('GET', '" +
      server.url("/../other") +
      "', nil, nil, 'done')\n"
      "httpRequest('GET', 'http://user@127.0.0.1/', nil, nil, 'done')\n";
  LoopbackPeer peer;
  ClientProcess client(clientArgs({"--allow-url=" + server.url("/hook")}, peer), script);
  EXPECT_EQ(client.waitForLine("id "), "id 1");
  EXPECT_EQ(client.nextLine(), "httpRequest: URL not allowed: " + server.url("/other"));
  EXPECT_EQ(client.nextLine(), "httpRequest: user information (user@host) is not allowed");
  EXPECT_EQ(client.waitForLine("done "), "done 1 201 POST:ping t");

  LoopbackPeer peer2;
  ClientProcess refused(clientArgs({}, peer2), script);
  EXPECT_EQ(refused.waitForLine("httpRequest:"),
            "httpRequest: no URL is allowed; start the client with --allow-url=PREFIX");
}

TEST(HttpRequestsEndToEndTest, TlsIsRefusedWithoutTheCaFileAndAcceptedWithIt) {
  TempDir certificates;
  ASSERT_TRUE(makeSelfSignedCertificate(certificates.path()));
  HttpTestServer server(certificates.path() + "/cert.pem", certificates.path() + "/key.pem");
  server.server().Get("/x", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("secret", "text/plain");
  });
  ASSERT_TRUE(server.start());
  std::string script =
      "function done(id, status, body) print('done ' .. status .. ' ' .. body) end\n"
      "httpRequest('GET', '" +
      server.url("/x") + "', nil, nil, 'done')\n";
  LoopbackPeer peer;
  ClientProcess refused(clientArgs({"--allow-url=" + server.url("/")}, peer), script);
  std::optional<std::string> line = refused.waitForLine("done ");
  ASSERT_TRUE(line);
  EXPECT_EQ(line->rfind("done 0 ", 0), 0u) << *line;
  EXPECT_NE(line->find("certificate"), std::string::npos) << *line;

  ClientProcess accepted(clientArgs({"--allow-url=" + server.url("/"),
                                     "--ca-file=" + certificates.path() + "/cert.pem"},
                                    peer),
                         script);
  EXPECT_EQ(accepted.waitForLine("done "), "done 200 secret");
  for (ClientProcess* client : {&refused, &accepted}) {
    client->kill(SIGTERM);
    EXPECT_EQ(client->waitExit(5000), 0);
    EXPECT_EQ(client->errorOutput().find("Sanitizer"), std::string::npos) << client->errorOutput();
  }
}

// A script's credentials and bodies stay with the origin they were meant for,
// and paths a server may read as a step up never leave: two servers on
// loopback ports the test opened, both allowed.
TEST(HttpRequestsEndToEndTest, RedirectsCarryNoCredentialsOrBodyToAnotherOrigin) {
  HttpTestServer hooks;
  HttpTestServer other;
  std::atomic<int> otherPosts{0};
  other.server().Get("/seen", [](const httplib::Request& request, httplib::Response& response) {
    std::string seen;
    for (const char* name : {"Authorization", "Proxy-Authorization", "Cookie", "X-Keep"}) {
      seen += std::string(name) + "=" + request.get_header_value(name) + ";";
    }
    response.set_content(seen, "text/plain");
  });
  other.server().Post("/take", [&](const httplib::Request&, httplib::Response& response) {
    ++otherPosts;
    response.set_content("taken", "text/plain");
  });
  hooks.server().Get("/hooks/away", [&](const httplib::Request&, httplib::Response& response) {
    response.set_redirect(other.url("/seen"), 302);
  });
  hooks.server().Post("/hooks/move", [&](const httplib::Request&, httplib::Response& response) {
    response.set_redirect(other.url("/take"), 307);
  });
  ASSERT_TRUE(hooks.start());
  ASSERT_TRUE(other.start());
  std::string script = "HOOKS = '" + hooks.url("/hooks") + "'\n" + R"lua(
function done(id, status, body) print('done ' .. id .. ' ' .. status .. ' ' .. body) end
local secrets = {Authorization = 'Bearer s3cret', Cookie = 'sid=1',
                 ['Proxy-Authorization'] = 'Basic eA==', ['X-Keep'] = 'k'}
httpRequest('GET', HOOKS .. '/away', nil, secrets, 'done')
httpRequest('POST', HOOKS .. '/move', 'payload', secrets, 'done')
for _, path in ipairs({'/..;/admin', '/%2e%2e;/admin', '/.%2E/admin', '/%2Fadmin',
                       '/a%5c..%5cadmin'}) do
  local id = httpRequest('GET', HOOKS .. path, nil, nil, 'done')
  print('refused ' .. tostring(id))
end
)lua";
  LoopbackPeer peer;
  ClientProcess client(
      clientArgs({"--allow-url=" + hooks.url("/hooks/"), "--allow-url=" + other.url("/")}, peer),
      script);
  for (const char* path : {"/..;/admin", "/..;/admin", "", "/%2Fadmin", "/a%5C..%5Cadmin"}) {
    if (*path == '\0') {
      // ".%2E" is "..": resolved, it leaves the prefix.
      EXPECT_EQ(client.nextLine(), "httpRequest: URL not allowed: " + hooks.url("/admin"));
    } else {
      EXPECT_EQ(client.waitForLine("httpRequest:"),
                "httpRequest: URL not allowed: " + hooks.url("/hooks") + path);
    }
    EXPECT_EQ(client.nextLine(), "refused nil");
  }
  std::vector<std::string> done;
  for (int i = 0; i < 2; ++i) done.push_back(client.waitForLine("done ").value_or(""));
  std::sort(done.begin(), done.end());
  EXPECT_EQ(done[0], "done 1 200 Authorization=;Proxy-Authorization=;Cookie=;X-Keep=k;");
  EXPECT_EQ(done[1],
            "done 2 0 redirect would send the body to another origin: " + other.url("/take"));
  EXPECT_EQ(otherPosts.load(), 0);
}

// Sixteen requests to a server that never answers, then chat: every line is
// printed as it comes, and the requests end with status 0 at the time-out.
const char kSilentScript[] = R"lua(
ended = 0
function over(id, status, body)
  ended = ended + 1
  if ended == 16 then print('all ended: ' .. status .. ' ' .. body) end
end
for i = 1, 16 do httpRequest('GET', URL, nil, nil, 'over') end
local refused = httpRequest('GET', URL, nil, nil, 'over')
print('refused ' .. tostring(refused))
)lua";

TEST(HttpRequestsEndToEndTest, SilentServerTimesOutWhileEveryDatagramIsHandled) {
  SilentServer silent;
  LoopbackPeer peer;
  std::string script = "URL = '" + silent.url("/hook") + "'\n" + kSilentScript;
  ClientProcess client(clientArgs({"--http-timeout=1", "--allow-url=" + silent.url("/")}, peer),
                       script);
  EXPECT_EQ(client.waitForLine("httpRequest:"),
            "httpRequest: too many requests in flight (16 per script)");
  EXPECT_EQ(client.nextLine(), "refused nil");
  ASSERT_TRUE(acceptLogin(peer, {{3, "Bob"}}));
  ASSERT_TRUE(client.waitForLine("Successfully connected!"));
  for (int i = 0; i < 5; ++i) {
    peer.send(chatLine(3, 0, "line " + std::to_string(i)));
    EXPECT_EQ(client.waitForLine("Bob: "), "Bob: line " + std::to_string(i));
  }
  EXPECT_EQ(client.waitForLine("all ended"), "all ended: 0 timed out after 1000 ms")
      << client.output();
  EXPECT_EQ(client.output().find("LUA: Error"), std::string::npos) << client.output();
}

// Each load starts sixteen requests that would outlive a 60 s wait.
const char kReloadScript[] = R"lua(
function over(id, status, body) print('ended ' .. id .. ' ' .. body) end
for i = 1, 16 do httpRequest('GET', URL, nil, nil, 'over') end
print('started ' .. tostring(httpRequest('GET', URL, nil, nil, 'over') == nil))
)lua";

TEST(HttpRequestsEndToEndTest, ReloadCancelsTheScriptsRequestsAndExitDoesNotWait) {
  SilentServer silent;
  LoopbackPeer peer;
  std::string script = "URL = '" + silent.url("/hook") + "'\n" + kReloadScript;
  ClientProcess client(clientArgs({"--http-timeout=60", "--allow-url=" + silent.url("/")}, peer),
                       script);
  ASSERT_TRUE(client.waitForLine("started true"));
  // Five loads of sixteen: more than the 64 in all unless each reload
  // cancelled the requests of the load before.
  for (int i = 0; i < 4; ++i) {
    client.kill(SIGHUP);
    ASSERT_TRUE(client.waitForLine("started true")) << client.output();
  }
  client.kill(SIGTERM);
  EXPECT_EQ(client.waitExit(5000), 0);
  client.readToEnd();
  EXPECT_EQ(occurrences(client.output(), "LUA: Script 'script.lua' reloaded."), 4)
      << client.output();
  EXPECT_EQ(client.output().find("in all"), std::string::npos) << client.output();
  EXPECT_EQ(client.output().find("ended "), std::string::npos) << client.output();
  // A sanitizer build reports leaks and errors here, and exits non-zero.
  EXPECT_EQ(client.errorOutput().find("Sanitizer"), std::string::npos) << client.errorOutput();
}

// What a webhook received, read from the test while the server's threads
// write it.
class Posts {
 public:
  void add(const std::string& body) {
    std::lock_guard<std::mutex> lock(mutex_);
    bodies_.push_back(body);
  }
  // Waits up to five seconds for `n` posts; all there are by then.
  std::vector<std::string> waitFor(size_t n) {
    for (int i = 0; i < 500; ++i) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (bodies_.size() >= n) return bodies_;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return bodies_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> bodies_;
};

TEST(HttpRequestsEndToEndTest, TeamChatExamplePostsReportsAndLossesUnderItsCap) {
  HttpTestServer server;
  Posts posts;
  server.server().Post("/hooks/1",
                       [&posts](const httplib::Request& request, httplib::Response& response) {
                         posts.add(request.get_header_value("Content-Type") + " " + request.body);
                         response.status = 204;
                       });
  ASSERT_TRUE(server.start());
  TempDir dir;
  std::string source = GSADMIN_SOURCE_DIR;
  std::ofstream(dir.path() + "/script.conf")
      << readTextFile(source + "/examples/team_chat.conf").value_or("")
      << "webhook = " << server.url("/hooks/1") << "\nperMinute = 3\nprefix = [EU1]\n";
  LoopbackPeer peer;
  ClientProcess client(clientArgs({"--allow-url=" + server.url("/hooks/")}, peer),
                       readTextFile(source + "/examples/team_chat.lua").value_or(""),
                       ClientProcess::defaultBinary(), std::nullopt, dir.path());
  ASSERT_TRUE(acceptLogin(peer, {{3, "Bob"}, {4, "Eve"}, {5, "Cy"}, {6, "Dan"}}));
  ASSERT_TRUE(client.waitForLine("Successfully connected!"));
  // The moderation's reports, each by a reporter of its own (one report a
  // minute each).
  peer.send(chatLine(3, 0, "!report Eve cheats @everyone"));
  ASSERT_EQ(posts.waitFor(1).size(), 1u);
  peer.send(chatLine(4, 0, "!report Bob caf\xc3\xa9 \xff"));
  ASSERT_EQ(posts.waitFor(2).size(), 2u);
  peer.send(disconnectReason(5));
  std::vector<std::string> received = posts.waitFor(3);
  peer.send(chatLine(5, 0, "!report Dan over the cap"));
  ASSERT_TRUE(client.waitForLine("* Report #3: Dan by Cy: over the cap"));
  received = posts.waitFor(4);
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[0],
            "application/json {\"content\":\"[EU1] Report #1: Eve by Bob: cheats "
            "@\xe2\x80\x8b"
            "everyone\"}");
  EXPECT_EQ(received[1],
            "application/json {\"content\":\"[EU1] Report #2: Bob by Eve: caf\xc3\xa9 ?\"}");
  EXPECT_EQ(received[2],
            "application/json {\"content\":\"[EU1] Lost the connection to the game server "
            "(reason 5).\"}");
  EXPECT_EQ(client.output().find("team_chat:"), std::string::npos) << client.output();
  EXPECT_EQ(client.output().find("httpRequest:"), std::string::npos) << client.output();
}

}  // namespace
}  // namespace gsadmin::testing
