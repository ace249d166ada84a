#include "support/loopback_peer.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

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

size_t LoopbackPeer::sendMany(const std::vector<Datagram>& datagrams, size_t first, size_t count) {
  constexpr size_t kPerCall = 64;
  if (!client_ || datagrams.empty()) return 0;
  sockaddr_in to = *client_;
  size_t sent = 0;
  while (sent < count) {
    mmsghdr messages[kPerCall] = {};
    iovec parts[kPerCall] = {};
    size_t batch = std::min(kPerCall, count - sent);
    for (size_t i = 0; i < batch; ++i) {
      const Datagram& datagram = datagrams[(first + sent + i) % datagrams.size()];
      // iovec's pointer is not const; sendmmsg only reads through it.
      parts[i] = {const_cast<uint8_t*>(datagram.data()), datagram.size()};
      messages[i].msg_hdr.msg_name = &to;
      messages[i].msg_hdr.msg_namelen = sizeof(to);
      messages[i].msg_hdr.msg_iov = &parts[i];
      messages[i].msg_hdr.msg_iovlen = 1;
    }
    int went = sendmmsg(socket_->descriptor(), messages, static_cast<unsigned>(batch), 0);
    if (went <= 0) break;
    sent += static_cast<size_t>(went);
  }
  return sent;
}

}  // namespace gsadmin::testing
