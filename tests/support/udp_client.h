#ifndef GSADMIN_TESTS_SUPPORT_UDP_CLIENT_H_
#define GSADMIN_TESTS_SUPPORT_UDP_CLIENT_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/udp_socket.h"

namespace gsadmin::testing {

using Datagram = std::vector<uint8_t>;

// A UDP socket connected to 127.0.0.1:port that speaks first, as the admin
// client does: for talking to a server (the simulator) in tests.
class UdpClient {
 public:
  // Aborts the test run when the socket cannot be made.
  explicit UdpClient(uint16_t serverPort);
  ~UdpClient();
  UdpClient(const UdpClient&) = delete;
  UdpClient& operator=(const UdpClient&) = delete;

  void send(const Datagram& datagram);
  // The next datagram from the server, or nothing after `timeoutMs`.
  std::optional<Datagram> receive(int timeoutMs = 2000);
  // The next datagram whose first byte is `id`, skipping the others (keep-
  // alive requests, say), or nothing after `timeoutMs` in all.
  std::optional<Datagram> receiveId(uint8_t id, int timeoutMs = 2000);

 private:
  std::unique_ptr<UdpSocket> socket_;
};

}  // namespace gsadmin::testing

#endif  // GSADMIN_TESTS_SUPPORT_UDP_CLIENT_H_
