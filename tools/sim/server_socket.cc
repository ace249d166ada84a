#include "server_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cerrno>

namespace gsadmin::sim {

std::unique_ptr<ServerSocket> ServerSocket::bind(const std::string& address, uint16_t port,
                                                 std::string* error) {
  std::string where = address + ":" + std::to_string(port);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1) {
    *error = "cannot bind " + where + ": not an IPv4 address";
    return nullptr;
  }
  std::string reason;
  std::unique_ptr<UdpSocket> socket = UdpSocket::bindTo(local, &reason);
  if (!socket) {
    *error =
        reason.rfind("cannot create", 0) == 0 ? reason : "cannot bind " + where + ": " + reason;
    return nullptr;
  }
  return std::make_unique<ServerSocket>(std::move(socket));
}

std::optional<size_t> ServerSocket::receive(uint8_t* buffer, size_t capacity, Endpoint* from) {
  for (;;) {
    sockaddr_in sender{};
    ReceiveResult received = socket_->receiveFrom(buffer, capacity, &sender);
    if (received.kind == ReceiveResult::Kind::kError) {
      // An ICMP error left by an earlier send to a closed port: skip it.
      if (errno == ECONNREFUSED) continue;
      return std::nullopt;
    }
    if (received.kind == ReceiveResult::Kind::kNothing) return std::nullopt;
    from->address = ntohl(sender.sin_addr.s_addr);
    from->port = ntohs(sender.sin_port);
    return received.length < capacity ? received.length : capacity;
  }
}

void ServerSocket::sendTo(const Endpoint& to, const Datagram& datagram) {
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(to.port);
  peer.sin_addr.s_addr = htonl(to.address);
  socket_->sendTo(peer, datagram.data(), datagram.size());
}

}  // namespace gsadmin::sim
