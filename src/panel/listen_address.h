#ifndef GSADMIN_PANEL_LISTEN_ADDRESS_H_
#define GSADMIN_PANEL_LISTEN_ADDRESS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace gsadmin {

// Where the panel or the metrics listen: an IP address and a port.
struct ListenAddress {
  std::string host;   // "127.0.0.1", "::1", "0.0.0.0", ... (no brackets)
  uint16_t port = 0;  // 0: any free port, reported once bound
};

// "ADDR:PORT" with ADDR an IPv4 address, or "[ADDR]:PORT" with an IPv6
// one, and PORT 0 to 65535; "localhost" stands for 127.0.0.1. Nothing for
// anything else (host names are not looked up).
std::optional<ListenAddress> parseListenAddress(std::string_view text);

// Whether only this host can reach the address: 127.0.0.0/8 or ::1.
bool isLoopback(const ListenAddress& address);

// "http://127.0.0.1:8080" or "https://[::1]:8443".
std::string urlOf(const ListenAddress& address, bool tls);

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_LISTEN_ADDRESS_H_
