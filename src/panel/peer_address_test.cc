#include "panel/peer_address.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

#include <cstring>

namespace gsadmin {
namespace {

sockaddr_storage addressOf(const char* text) {
  sockaddr_storage address{};
  if (std::strchr(text, ':') == nullptr) {
    auto& v4 = reinterpret_cast<sockaddr_in&>(address);
    v4.sin_family = AF_INET;
    inet_pton(AF_INET, text, &v4.sin_addr);
  } else {
    auto& v6 = reinterpret_cast<sockaddr_in6&>(address);
    v6.sin6_family = AF_INET6;
    inet_pton(AF_INET6, text, &v6.sin6_addr);
  }
  return address;
}

TEST(PeerAddressTest, OneKeyPerIpv4AddressAndPerIpv6Slash64) {
  struct Case {
    const char* address;
    const char* key;
  };
  for (const Case& c : {Case{"203.0.113.7", "203.0.113.7"}, Case{"127.0.0.1", "127.0.0.1"},
                        Case{"::ffff:198.51.100.2", "198.51.100.2"},
                        Case{"2001:db8:1:2:aaaa:bbbb:cccc:dddd", "2001:db8:1:2::/64"},
                        Case{"2001:db8:1:2::1", "2001:db8:1:2::/64"}, Case{"::1", "::/64"}}) {
    EXPECT_EQ(peerKeyOf(addressOf(c.address)), c.key) << c.address;
  }
  sockaddr_storage other{};
  other.ss_family = AF_UNIX;
  EXPECT_FALSE(peerKeyOf(other));
}

}  // namespace
}  // namespace gsadmin
