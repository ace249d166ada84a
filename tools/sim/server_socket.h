#ifndef GSADMIN_TOOLS_SIM_SERVER_SOCKET_H_
#define GSADMIN_TOOLS_SIM_SERVER_SOCKET_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "endpoint.h"
#include "platform/udp_socket.h"

namespace gsadmin::sim {

// The simulator's UDP socket, bound to the admin port, speaking in
// endpoints. Owns the socket.
class ServerSocket : public DatagramSink {
 public:
  // Binds `address` (dotted IPv4) and `port` (0: any free port). Null, with
  // a one-line reason in *error, when that fails.
  static std::unique_ptr<ServerSocket> bind(const std::string& address, uint16_t port,
                                            std::string* error);
  explicit ServerSocket(std::unique_ptr<UdpSocket> socket)
      : socket_(std::move(socket)), port_(socket_->localPort()) {}

  // The port actually bound.
  uint16_t port() const { return port_; }

  // Waits at most `timeoutMs` for a datagram; true when one is waiting.
  bool waitReadable(int timeoutMs) { return socket_->waitReadable(timeoutMs); }

  // Takes one waiting datagram into buffer[0, capacity) without blocking and
  // returns its length (bytes beyond the capacity are dropped), setting
  // *from. Nothing when none is waiting.
  std::optional<size_t> receive(uint8_t* buffer, size_t capacity, Endpoint* from);

  // Sends one datagram; a failure is not reported, as on a real server.
  void sendTo(const Endpoint& to, const Datagram& datagram) override;

 private:
  std::unique_ptr<UdpSocket> socket_;
  uint16_t port_;
};

}  // namespace gsadmin::sim

#endif  // GSADMIN_TOOLS_SIM_SERVER_SOCKET_H_
