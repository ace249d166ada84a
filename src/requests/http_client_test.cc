// The HTTP client against a real server on a loopback port the test opened:
// answers, redirects, refusals, caps, time-outs and TLS.

#include "requests/http_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <string>
#include <vector>

#include "support/client_process.h"
#include "support/http_test_server.h"
#include "support/manual_clock.h"

namespace gsadmin {
namespace {

using testing::HttpTestServer;
using testing::SilentServer;

HttpRequest get(const std::string& url, uint64_t owner = 1) {
  HttpRequest request;
  request.owner = owner;
  request.handler = "done";
  request.method = "GET";
  request.url = url;
  return request;
}

// Drives `client` as the session's loop does until nothing is in flight
// (or five seconds of real time passed); returns what ended.
std::vector<HttpResult> runToEnd(HttpClient& client) {
  std::vector<HttpResult> ended;
  SystemClock real;
  uint64_t giveUp = real.nowMs() + 5000;
  while (client.inFlight() > 0 && real.nowMs() < giveUp) {
    Poller poller;
    client.watchOn(poller);
    uint64_t now = real.nowMs();
    uint64_t due = std::max(client.nextWorkMs().value_or(now + 50), now);
    poller.wait(static_cast<int>(std::min<uint64_t>(due - now, 50)));
    for (HttpResult& result : client.drive()) ended.push_back(std::move(result));
  }
  return ended;
}

std::string headerOf(const HttpResult& result, const std::string& name) {
  for (const HttpHeader& header : result.headers) {
    if (header.name == name) return header.value;
  }
  return "<none>";
}

class HttpClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.server().Get(
        "/hello", [](const httplib::Request& request, httplib::Response& response) {
          response.set_header("X-Seen", request.get_header_value("X-Token"));
          response.set_content("hi " + request.get_param_value("who"), "text/plain");
        });
    server_.server().Post(
        "/echo", [](const httplib::Request& request, httplib::Response& response) {
          response.status = 201;
          response.set_content(request.method + ":" + request.body, "application/json");
        });
    server_.server().Get("/inside", [this](const httplib::Request&, httplib::Response& response) {
      response.set_redirect(server_.url("/hello?who=redirected"), 302);
    });
    server_.server().Get("/outside", [](const httplib::Request&, httplib::Response& response) {
      response.set_redirect("http://127.0.0.1:1/elsewhere", 302);
    });
    server_.server().Get("/big", [](const httplib::Request&, httplib::Response& response) {
      response.set_content(std::string(HttpClient::kMaxBodyBytes + 1, 'x'), "text/plain");
    });
    ASSERT_TRUE(server_.start());
    settings_.allowedPrefixes = {server_.url("/")};
  }

  SystemClock clock_;
  HttpTestServer server_;
  HttpSettings settings_;
};

TEST_F(HttpClientTest, AnswersCarryStatusBodyAndHeaders) {
  HttpClient client(settings_, clock_);
  HttpRequest hello = get(server_.url("/hello?who=you"));
  hello.headers = {{"X-Token", "abc"}};
  HttpRequest echo = get(server_.url("/echo"), 2);
  echo.method = "POST";
  echo.body = std::string("{\"content\":\"x\"}");
  int32_t first = client.start(hello).id;
  int32_t second = client.start(echo).id;
  ASSERT_GT(first, 0);
  ASSERT_EQ(second, first + 1);
  std::vector<HttpResult> ended = runToEnd(client);
  ASSERT_EQ(ended.size(), 2u);
  std::sort(ended.begin(), ended.end(), [](auto& a, auto& b) { return a.id < b.id; });
  EXPECT_EQ(ended[0].status, 200);
  EXPECT_EQ(ended[0].body, "hi you");
  EXPECT_EQ(ended[0].handler, "done");
  EXPECT_EQ(headerOf(ended[0], "x-seen"), "abc");
  EXPECT_EQ(headerOf(ended[0], "content-type"), "text/plain");
  EXPECT_EQ(ended[1].status, 201);
  EXPECT_EQ(ended[1].owner, 2u);
  EXPECT_EQ(ended[1].body, "POST:{\"content\":\"x\"}");
}

TEST_F(HttpClientTest, RedirectsAreFollowedOnlyWithinThePrefixes) {
  HttpClient client(settings_, clock_);
  client.start(get(server_.url("/inside")));
  std::vector<HttpResult> ended = runToEnd(client);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].status, 200);
  EXPECT_EQ(ended[0].body, "hi redirected");

  client.start(get(server_.url("/outside")));
  ended = runToEnd(client);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].status, 0);
  EXPECT_EQ(ended[0].body, "redirect outside the allowed URLs: http://127.0.0.1:1/elsewhere");
  EXPECT_TRUE(ended[0].headers.empty());
}

// What a hop to another origin carries: two servers on loopback ports the
// test opened, both allowed. Each answers /headers with the credentials it
// was sent and /echo with the body, and redirects to itself (/near...) or
// to the other (/away...).
class HttpClientOriginsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (HttpTestServer* server : {&first_, &second_}) {
      server->server().Get("/headers", echoHeaders);
      server->server().Post(
          "/echo", [this, server](const httplib::Request& request, httplib::Response& response) {
            if (server == &second_) ++secondPosts_;
            response.set_content(request.method + ":" + request.body, "text/plain");
          });
    }
    redirect("/away", 302, second_, "/headers");
    redirect("/near", 302, first_, "/headers");
    for (int status : {307, 308}) {
      redirect("/away" + std::to_string(status), status, second_, "/echo");
      redirect("/near" + std::to_string(status), status, first_, "/echo");
    }
    ASSERT_TRUE(first_.start());
    ASSERT_TRUE(second_.start());
    settings_.allowedPrefixes = {first_.url("/"), second_.url("/")};
  }

  static void echoHeaders(const httplib::Request& request, httplib::Response& response) {
    std::string seen;
    for (const char* name : {"Authorization", "Proxy-Authorization", "Cookie", "X-Keep"}) {
      seen += std::string(name) + "=" + request.get_header_value(name) + ";";
    }
    response.set_content(seen, "text/plain");
  }

  // A GET (with its 302) or a POST (307, 308) on the first server at `path`
  // sends on to `to` at `toPath`.
  void redirect(const std::string& path, int status, HttpTestServer& to,
                const std::string& toPath) {
    auto handler = [&to, toPath, status](const httplib::Request&, httplib::Response& response) {
      response.set_redirect(to.url(toPath), status);
    };
    if (status == 302) {
      first_.server().Get(path, handler);
    } else {
      first_.server().Post(path, handler);
    }
  }

  // How `request`, sent with credentials and one harmless header, ended.
  HttpResult run(HttpRequest request) {
    HttpClient client(settings_, clock_);
    request.headers = {{"authorization", "Bearer s3cret"},
                       {"Proxy-Authorization", "Basic cHJveHk="},
                       {"COOKIE", "session=1"},
                       {"X-Keep", "k"}};
    EXPECT_GT(client.start(std::move(request)).id, 0);
    std::vector<HttpResult> ended = runToEnd(client);
    return ended.size() == 1 ? ended[0] : HttpResult{};
  }

  static HttpRequest post(const std::string& url) {
    HttpRequest request = get(url);
    request.method = "POST";
    request.body = std::string("payload");
    return request;
  }

  HttpTestServer first_;
  HttpTestServer second_;
  std::atomic<int> secondPosts_{0};
  SystemClock clock_;
  HttpSettings settings_;
};

TEST_F(HttpClientOriginsTest, CredentialsStayWithTheirOrigin) {
  HttpResult result = run(get(first_.url("/away")));
  EXPECT_EQ(result.status, 200);
  EXPECT_EQ(result.body, "Authorization=;Proxy-Authorization=;Cookie=;X-Keep=k;");
  result = run(get(first_.url("/near")));
  EXPECT_EQ(result.body,
            "Authorization=Bearer s3cret;Proxy-Authorization=Basic cHJveHk=;Cookie=session=1;"
            "X-Keep=k;");
}

TEST_F(HttpClientOriginsTest, ABodyIsNeverSentOnToAnotherOrigin) {
  for (const char* code : {"307", "308"}) {
    HttpResult result = run(post(first_.url("/away") + code));
    EXPECT_EQ(result.status, 0) << code;
    EXPECT_EQ(result.body,
              "redirect would send the body to another origin: " + second_.url("/echo"));
    result = run(post(first_.url("/near") + code));
    EXPECT_EQ(result.status, 200) << code;
    EXPECT_EQ(result.body, "POST:payload") << code;
  }
  EXPECT_EQ(secondPosts_.load(), 0);
}

TEST_F(HttpClientTest, RefusesWhatTheLimitsForbid) {
  HttpClient none(HttpSettings{}, clock_);
  EXPECT_EQ(none.start(get(server_.url("/hello"))).refusal,
            "no URL is allowed; start the client with --allow-url=PREFIX");

  HttpClient client(settings_, clock_);
  std::string other = "http://127.0.0.1:" + std::to_string(server_.port() == 1 ? 2 : 1) + "/";
  EXPECT_EQ(client.start(get(other)).refusal, "URL not allowed: " + other);
  EXPECT_EQ(client.start(get("http://x@127.0.0.1/")).refusal,
            "user information (user@host) is not allowed");
  HttpRequest bad = get(server_.url("/hello"));
  bad.method = "TRACE";
  EXPECT_EQ(client.start(bad).refusal, "method must be GET, POST, PUT, PATCH or DELETE");
  bad.method = "POST";
  bad.body = std::string(HttpClient::kMaxBodyBytes + 1, 'x');
  EXPECT_EQ(client.start(bad).refusal, "body over 1048576 bytes");
  bad.body.reset();
  bad.headers = {{"X-Bad", "a\r\nInjected: 1"}};
  EXPECT_EQ(client.start(bad).refusal, "invalid header");
  EXPECT_EQ(client.inFlight(), 0u);

  // The response over the cap ends the request, which then failed.
  client.start(get(server_.url("/big")));
  std::vector<HttpResult> ended = runToEnd(client);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].status, 0);
  EXPECT_EQ(ended[0].body, "response body over 1048576 bytes");
}

TEST(HttpClientLimitsTest, SixteenPerScriptSixtyFourInAllThenTimedOutOnTheClock) {
  SilentServer silent;
  ManualClock clock;
  HttpSettings settings;
  settings.allowedPrefixes = {silent.url("/")};
  HttpClient client(settings, clock);
  for (size_t i = 0; i < HttpClient::kMaxPerOwner; ++i) {
    EXPECT_GT(client.start(get(silent.url("/hook"), 1)).id, 0);
  }
  EXPECT_EQ(client.start(get(silent.url("/hook"), 1)).refusal,
            "too many requests in flight (16 per script)");
  for (uint64_t owner = 2; client.inFlight() < HttpClient::kMaxInFlight; ++owner) {
    EXPECT_GT(client.start(get(silent.url("/hook"), owner)).id, 0);
  }
  EXPECT_EQ(client.start(get(silent.url("/hook"), 99)).refusal,
            "too many requests in flight (64 in all)");

  // Nothing ends while the clock stands, however often the loop turns.
  for (int i = 0; i < 20; ++i) {
    Poller poller;
    client.watchOn(poller);
    poller.wait(5);
    EXPECT_TRUE(client.drive().empty());
  }
  clock.advance(settings.timeoutMs);
  EXPECT_LE(client.nextWorkMs().value_or(UINT64_MAX), clock.nowMs());
  std::vector<HttpResult> ended = client.drive();
  ASSERT_EQ(ended.size(), HttpClient::kMaxInFlight);
  EXPECT_EQ(ended[0].status, 0);
  EXPECT_EQ(ended[0].body, "timed out after 10000 ms");
  EXPECT_EQ(client.inFlight(), 0u);
  EXPECT_GT(client.start(get(silent.url("/hook"), 1)).id, 0);
  client.cancelOwned(1);
  EXPECT_EQ(client.inFlight(), 0u);
}

TEST(HttpClientTlsTest, SelfSignedServerRefusedWithoutTheCaFileAcceptedWithIt) {
  testing::TempDir dir;
  ASSERT_TRUE(testing::makeSelfSignedCertificate(dir.path()));
  HttpTestServer server(dir.path() + "/cert.pem", dir.path() + "/key.pem");
  server.server().Get("/x", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("secret", "text/plain");
  });
  ASSERT_TRUE(server.start());
  SystemClock clock;
  HttpSettings settings;
  settings.allowedPrefixes = {server.url("/")};
  {
    HttpClient client(settings, clock);
    client.start(get(server.url("/x")));
    std::vector<HttpResult> ended = runToEnd(client);
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].status, 0);
    EXPECT_NE(ended[0].body.find("certificate"), std::string::npos) << ended[0].body;
  }
  settings.caFile = dir.path() + "/cert.pem";
  HttpClient client(settings, clock);
  client.start(get(server.url("/x")));
  std::vector<HttpResult> ended = runToEnd(client);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].status, 200);
  EXPECT_EQ(ended[0].body, "secret");
}

}  // namespace
}  // namespace gsadmin
