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
  enum class OnBindFailure { kAbort, kStayUnbound };

  // Binds 127.0.0.1:port (0: any free port). On failure aborts the test run,
  // or with kStayUnbound leaves the peer unbound (see bound()): a test of a
  // fixed port skips when someone else holds it rather than talk to them.
  explicit LoopbackPeer(uint16_t port = 0, OnBindFailure onFailure = OnBindFailure::kAbort);
  ~LoopbackPeer();
  LoopbackPeer(const LoopbackPeer&) = delete;
  LoopbackPeer& operator=(const LoopbackPeer&) = delete;

  bool bound() const { return port_ != 0; }
  uint16_t port() const { return port_; }
  int descriptor() const { return socket_->descriptor(); }

  // The next datagram from any client, or nothing after `timeoutMs`.
  std::optional<Datagram> receive(int timeoutMs = 2000);
  // Every datagram already waiting, without blocking.
  std::vector<Datagram> drain();

  // Sends to the client address learned last; false when there is none.
  bool send(const Datagram& datagram);
  // Sends datagrams[first], datagrams[first + 1] ... (`count` of them,
  // wrapping round the vector) in system calls of up to 64, for senders
  // that must outrun the client. How many went.
  size_t sendMany(const std::vector<Datagram>& datagrams, size_t first, size_t count);
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
