// Which address a public request counts under behind a reverse proxy: the
// proxy's last X-Forwarded-For entry when, and only when, the TCP peer is
// a trusted proxy; garbage, names and oversized headers leave the peer.

#include "panel/trusted_proxies.h"

#include <gtest/gtest.h>

namespace gsadmin {
namespace {

TEST(TrustedProxiesTest, ListsAreAddressesOnly) {
  struct Case {
    const char* list;
    bool parsed;
  };
  const Case cases[] = {
      {"127.0.0.1", true},
      {"127.0.0.1,::1", true},
      {" 10.0.0.1 , 2001:db8::1 ", true},
      {"::ffff:192.0.2.1", true},
      {"", false},
      {"proxy.example.org", false},
      {"localhost", false},
      {"10.0.0.1:8080", false},
      {"[::1]", false},
      {"10.0.0.0/8", false},
      {"10.0.0.1,", false},
      {",10.0.0.1", false},
      {"10.0.0.256", false},
      {"1.1.1.1,2.2.2.2,3.3.3.3,4.4.4.4,5.5.5.5,6.6.6.6,7.7.7.7,8.8.8.8,"
       "9.9.9.9,1.1.1.2,1.1.1.3,1.1.1.4,1.1.1.5,1.1.1.6,1.1.1.7,1.1.1.8",
       true},
      {"1.1.1.1,2.2.2.2,3.3.3.3,4.4.4.4,5.5.5.5,6.6.6.6,7.7.7.7,8.8.8.8,"
       "9.9.9.9,1.1.1.2,1.1.1.3,1.1.1.4,1.1.1.5,1.1.1.6,1.1.1.7,1.1.1.8,1.1.1.9",
       false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TrustedProxies::parse(c.list).has_value(), c.parsed) << c.list;
  }
}

TEST(TrustedProxiesTest, OnlyATrustedPeerNamesTheClient) {
  TrustedProxies proxies = *TrustedProxies::parse("127.0.0.1,2001:db8::7");
  struct Case {
    const char* peer;
    std::vector<std::string> header;
    const char* client;
  };
  const std::string tooLong = std::string(TrustedProxies::kMaxHeaderBytes, ' ') + "203.0.113.9";
  const Case cases[] = {
      {"127.0.0.1", {"203.0.113.9"}, "203.0.113.9"},
      {"::ffff:127.0.0.1", {"203.0.113.9"}, "203.0.113.9"},
      {"2001:db8:0:0::7", {"2001:DB8::9"}, "2001:db8::9"},
      // The last entry is the proxy's own; the ones before are the client's.
      {"127.0.0.1", {"10.9.9.9, 198.51.100.1,203.0.113.9"}, "203.0.113.9"},
      {"127.0.0.1", {"10.9.9.9", "203.0.113.9"}, "203.0.113.9"},
      {"127.0.0.1", {"::ffff:203.0.113.9"}, "203.0.113.9"},
      // An untrusted peer's header is ignored.
      {"192.0.2.1", {"203.0.113.9"}, "192.0.2.1"},
      {"127.0.0.2", {"203.0.113.9"}, "127.0.0.2"},
      // Garbage leaves the peer.
      {"127.0.0.1", {}, "127.0.0.1"},
      {"127.0.0.1", {""}, "127.0.0.1"},
      {"127.0.0.1", {"203.0.113.9,"}, "127.0.0.1"},
      {"127.0.0.1", {"unknown"}, "127.0.0.1"},
      {"127.0.0.1", {"client.example.org"}, "127.0.0.1"},
      {"127.0.0.1", {"203.0.113.9:4711"}, "127.0.0.1"},
      {"127.0.0.1", {"[2001:db8::9]"}, "127.0.0.1"},
      {"127.0.0.1", {"203.0.113.9\r\nX-Evil: 1"}, "127.0.0.1"},
      {"127.0.0.1", {std::string("203.0.113.9\0", 12)}, "127.0.0.1"},
      {"127.0.0.1", {tooLong}, "127.0.0.1"},
      {"127.0.0.1", std::vector<std::string>(9, "203.0.113.9"), "127.0.0.1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(proxies.clientOf(c.peer, c.header), c.client)
        << c.peer << " " << (c.header.empty() ? "(none)" : c.header.back());
  }
}

TEST(TrustedProxiesTest, NoneTrustedLeavesEveryPeer) {
  TrustedProxies none;
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(none.clientOf("127.0.0.1", {"203.0.113.9"}), "127.0.0.1");
}

}  // namespace
}  // namespace gsadmin
