#include "panel/listen_address.h"

#include <arpa/inet.h>

namespace gsadmin {
namespace {

std::optional<uint16_t> portOf(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  uint32_t port = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    port = port * 10 + static_cast<uint32_t>(c - '0');
  }
  if (port > 65535) return std::nullopt;
  return static_cast<uint16_t>(port);
}

}  // namespace

std::optional<ListenAddress> parseListenAddress(std::string_view text) {
  size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  std::optional<uint16_t> port = portOf(text.substr(colon + 1));
  std::string_view host = text.substr(0, colon);
  if (!port || host.empty()) return std::nullopt;
  if (host == "localhost") return ListenAddress{"127.0.0.1", *port};
  unsigned char buffer[16];
  if (host.front() == '[' && host.back() == ']' && host.size() > 2) {
    std::string inner(host.substr(1, host.size() - 2));
    if (inet_pton(AF_INET6, inner.c_str(), buffer) != 1) return std::nullopt;
    return ListenAddress{inner, *port};
  }
  std::string plain(host);
  if (inet_pton(AF_INET, plain.c_str(), buffer) != 1) return std::nullopt;
  return ListenAddress{plain, *port};
}

bool isLoopback(const ListenAddress& address) {
  unsigned char buffer[16];
  if (inet_pton(AF_INET, address.host.c_str(), buffer) == 1) return buffer[0] == 127;
  if (inet_pton(AF_INET6, address.host.c_str(), buffer) == 1) {
    for (int i = 0; i < 15; ++i) {
      if (buffer[i] != 0) return false;
    }
    return buffer[15] == 1;
  }
  return false;
}

std::string urlOf(const ListenAddress& address, bool tls) {
  bool v6 = address.host.find(':') != std::string::npos;
  std::string host = v6 ? "[" + address.host + "]" : address.host;
  return std::string(tls ? "https://" : "http://") + host + ":" + std::to_string(address.port);
}

}  // namespace gsadmin
