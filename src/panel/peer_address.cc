#include "panel/peer_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstring>

namespace gsadmin {

std::optional<std::string> peerKeyOf(const sockaddr_storage& address) {
  char text[INET6_ADDRSTRLEN] = {};
  if (address.ss_family == AF_INET) {
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
    if (inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text) == nullptr) return std::nullopt;
    return std::string(text);
  }
  if (address.ss_family != AF_INET6) return std::nullopt;
  in6_addr bytes = reinterpret_cast<const sockaddr_in6&>(address).sin6_addr;
  if (IN6_IS_ADDR_V4MAPPED(&bytes)) {
    if (inet_ntop(AF_INET, &bytes.s6_addr[12], text, sizeof text) == nullptr) return std::nullopt;
    return std::string(text);
  }
  std::memset(&bytes.s6_addr[8], 0, 8);
  if (inet_ntop(AF_INET6, &bytes, text, sizeof text) == nullptr) return std::nullopt;
  return std::string(text) + "/64";
}

std::optional<std::string> peerKeyOf(int fd) {
  sockaddr_storage address{};
  socklen_t size = sizeof address;
  if (getpeername(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) return std::nullopt;
  return peerKeyOf(address);
}

}  // namespace gsadmin
