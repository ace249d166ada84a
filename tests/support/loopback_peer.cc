#include "support/loopback_peer.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstdlib>

namespace gsadmin::testing {

LoopbackPeer::LoopbackPeer(uint16_t port, OnBindFailure onFailure) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string error;
  socket_ = UdpSocket::bindTo(address, &error);
  if (!socket_) {
    if (onFailure == OnBindFailure::kStayUnbound) return;
    std::fprintf(stderr, "LoopbackPeer: bind: %s\n", error.c_str());
    std::abort();
  }
  socket_->setReceiveBufferSize(16 * 1024 * 1024);
  port_ = socket_->localPort();
}

LoopbackPeer::~LoopbackPeer() = default;

std::optional<Datagram> LoopbackPeer::receive(int timeoutMs) {
  if (!socket_->waitReadable(timeoutMs)) return std::nullopt;
  Datagram datagram(65536);
  sockaddr_in from{};
  ReceiveResult received = socket_->receiveFrom(datagram.data(), datagram.size(), &from);
  if (received.kind != ReceiveResult::Kind::kDatagram) return std::nullopt;
  datagram.resize(received.length);
  client_ = from;
  return datagram;
}

std::vector<Datagram> LoopbackPeer::drain() {
  std::vector<Datagram> all;
  while (std::optional<Datagram> datagram = receive(0)) all.push_back(std::move(*datagram));
  return all;
}

bool LoopbackPeer::send(const Datagram& datagram) {
  if (!client_) return false;
  return socket_->sendTo(*client_, datagram.data(), datagram.size());
}

}  // namespace gsadmin::testing
