#include "platform/resolve.h"

#include <netdb.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace gsadmin {

std::optional<sockaddr_in> resolveIPv4(const std::string& host, uint16_t port, std::string* error) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  int failure = getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (failure != 0 || found == nullptr) {
    if (error) *error = failure == EAI_SYSTEM ? std::strerror(errno) : gai_strerror(failure);
    return std::nullopt;
  }
  std::optional<sockaddr_in> result;
  for (addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family == AF_INET && entry->ai_addrlen >= sizeof(sockaddr_in)) {
      sockaddr_in address{};
      std::memcpy(&address, entry->ai_addr, sizeof(sockaddr_in));
      address.sin_family = AF_INET;
      address.sin_port = htons(port);
      result = address;
      break;
    }
  }
  freeaddrinfo(found);
  if (!result && error) *error = "no IPv4 address";
  return result;
}

}  // namespace gsadmin
