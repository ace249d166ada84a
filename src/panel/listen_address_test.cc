#include "panel/listen_address.h"

#include <gtest/gtest.h>

namespace gsadmin {
namespace {

TEST(ListenAddressTest, ParsesAddressesAndTellsLoopback) {
  const struct {
    const char* text;
    std::optional<std::string> host;
    uint16_t port;
    bool loopback;
    const char* url;
  } cases[] = {
      {"127.0.0.1:8080", "127.0.0.1", 8080, true, "http://127.0.0.1:8080"},
      {"127.1.2.3:0", "127.1.2.3", 0, true, "http://127.1.2.3:0"},
      {"localhost:9", "127.0.0.1", 9, true, "http://127.0.0.1:9"},
      {"0.0.0.0:443", "0.0.0.0", 443, false, "http://0.0.0.0:443"},
      {"192.0.2.7:65535", "192.0.2.7", 65535, false, "http://192.0.2.7:65535"},
      {"[::1]:8080", "::1", 8080, true, "http://[::1]:8080"},
      {"[::]:8080", "::", 8080, false, "http://[::]:8080"},
      {"127.0.0.1:65536", std::nullopt, 0, false, ""},
      {"127.0.0.1:", std::nullopt, 0, false, ""},
      {":80", std::nullopt, 0, false, ""},
      {"example.org:80", std::nullopt, 0, false, ""},
      {"::1:80", std::nullopt, 0, false, ""},
      {"127.0.0.1:8o", std::nullopt, 0, false, ""},
  };
  for (const auto& c : cases) {
    std::optional<ListenAddress> address = parseListenAddress(c.text);
    ASSERT_EQ(address.has_value(), c.host.has_value()) << c.text;
    if (!address) continue;
    EXPECT_EQ(address->host, *c.host) << c.text;
    EXPECT_EQ(address->port, c.port) << c.text;
    EXPECT_EQ(isLoopback(*address), c.loopback) << c.text;
    EXPECT_EQ(urlOf(*address, false), c.url) << c.text;
  }
  EXPECT_EQ(urlOf({"::1", 8443}, true), "https://[::1]:8443");
}

}  // namespace
}  // namespace gsadmin
