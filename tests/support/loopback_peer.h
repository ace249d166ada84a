#ifndef GSADMIN_TESTS_SUPPORT_LOOPBACK_PEER_H_
#define GSADMIN_TESTS_SUPPORT_LOOPBACK_PEER_H_

#include <netinet/in.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/udp_socket.h"

namespace gsadmin::testing {

using Datagram = std::vector<uint8_t>;

// A UDP "game server" on 127.0.0.1 with an ephemeral port: it receives what
// the client sends and sends datagrams back to the client's address, learned
// from the last datagram received (or set explicitly).
class LoopbackPeer {
 public:
  // Binds 127.0.0.1:port (0: any free port). Aborts the test run on failure.
  explicit LoopbackPeer(uint16_t port = 0);
  ~LoopbackPeer();
  LoopbackPeer(const LoopbackPeer&) = delete;
  LoopbackPeer& operator=(const LoopbackPeer&) = delete;

  uint16_t port() const { return port_; }
  int descriptor() const { return socket_->descriptor(); }

  // The next datagram from any client, or nothing after `timeoutMs`.
  std::optional<Datagram> receive(int timeoutMs = 2000);
  // Every datagram already waiting, without blocking.
  std::vector<Datagram> drain();

  // Sends to the client address learned last; false when there is none.
  bool send(const Datagram& datagram);
  void setClient(const sockaddr_in& client) { client_ = client; }
  bool hasClient() const { return client_.has_value(); }
  const std::optional<sockaddr_in>& client() const { return client_; }

 private:
  std::unique_ptr<UdpSocket> socket_;
  uint16_t port_ = 0;
  std::optional<sockaddr_in> client_;
};

}  // namespace gsadmin::testing

#endif  // GSADMIN_TESTS_SUPPORT_LOOPBACK_PEER_H_
