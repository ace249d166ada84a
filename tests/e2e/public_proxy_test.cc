// The public listener behind a reverse proxy (--public-trusted-proxy): a
// trusted peer's last X-Forwarded-For entry is the address the appeals
// are counted by, 5 an hour each; an untrusted peer's header, and a
// trusted peer's garbage, count as the peer itself. The real binary, its
// listener on loopback, this test the proxy.

#include <gtest/gtest.h>
#include <httplib.h>

#include <nlohmann/json.hpp>
#include <string>

#include "support/panel_client.h"

namespace gsadmin::testing {
namespace {

using json = nlohmann::json;

constexpr int kAppealsAnHour = 5;

class PublicProxyTest : public PanelEndToEndTest {
 protected:
  void start(const std::string& proxies) {
    startClient({"--public=127.0.0.1:0", "--public-trusted-proxy=" + proxies,
                 "--db=" + dir_.path() + "/records.db"},
                true);
    int port = portOf(*client_, "Public");
    ASSERT_NE(port, 0) << client_->output() << client_->errorOutput();
    public_ = std::make_unique<httplib::Client>("127.0.0.1", port);
  }

  // An appeal of a ban nobody has, each of its own number (the limit on
  // one ban stays out of the way), from `forwardedFor` when given: 404,
  // or 429 once its address has appealed 5 times.
  int appeal(const std::optional<std::string>& forwardedFor) {
    httplib::Headers headers;
    if (forwardedFor) headers.emplace("X-Forwarded-For", *forwardedFor);
    json body = {{"ban", ++ban_}, {"name", "Nobody"}, {"text", "guess"}};
    httplib::Result result =
        public_->Post("/api/appeals", headers, body.dump(), "application/json");
    return result ? result->status : -1;
  }

  std::unique_ptr<httplib::Client> public_;
  int ban_ = 0;
};

TEST_F(PublicProxyTest, ATrustedProxysLastEntryIsTheAppellant) {
  start("192.0.2.1,127.0.0.1");
  for (int i = 0; i < kAppealsAnHour; ++i) EXPECT_EQ(appeal("203.0.113.1"), 404) << i;
  EXPECT_EQ(appeal("203.0.113.1"), 429);
  // Another appellant behind the same proxy has a limit of its own; what
  // came before the proxy's entry is the client's to write, and counts for
  // nothing.
  EXPECT_EQ(appeal("203.0.113.1, 203.0.113.2"), 404);
  EXPECT_EQ(appeal("2001:db8::1"), 404);
  // The proxy's own requests, without the header, count as the proxy.
  EXPECT_EQ(appeal(std::nullopt), 404);
}

TEST_F(PublicProxyTest, GarbageFromATrustedProxyCountsAsTheProxy) {
  start("127.0.0.1");
  // None of these names an address: each counts as the proxy (loopback);
  // "203.0.113.1," taken as 203.0.113.1 would spend that address instead.
  std::string tooLong;
  for (int i = 0; i < 300; ++i) tooLong += "10.0.0.1,";
  const std::string garbage[] = {"unknown", "203.0.113.1:8080", "appellant.example.org",
                                 "203.0.113.1,", tooLong + "203.0.113.7"};
  for (const std::string& header : garbage) EXPECT_EQ(appeal(header), 404) << header.substr(0, 40);
  EXPECT_EQ(appeal(std::nullopt), 429) << "the garbage was counted as the proxy";
  for (int i = 0; i < kAppealsAnHour; ++i) EXPECT_EQ(appeal("203.0.113.1"), 404) << i;
}

TEST_F(PublicProxyTest, AnUntrustedPeersHeaderIsIgnored) {
  start("192.0.2.1");
  for (int i = 0; i < kAppealsAnHour; ++i) {
    EXPECT_EQ(appeal("203.0.113." + std::to_string(i + 1)), 404) << i;
  }
  EXPECT_EQ(appeal("203.0.113.99"), 429) << "each header named another address, to no avail";
}

TEST(PublicProxyOptionTest, NeedsThePublicListener) {
  ClientProcess client(
      {"--public-trusted-proxy=127.0.0.1", "--no-input", "127.0.0.1", "1", "A", "b"}, std::nullopt);
  EXPECT_EQ(client.waitExit(10000), 2);
  EXPECT_NE(client.errorOutput().find("gsadmin: --public-trusted-proxy needs --public"),
            std::string::npos)
      << client.errorOutput();
}

}  // namespace
}  // namespace gsadmin::testing
