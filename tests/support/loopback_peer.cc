#include "support/loopback_peer.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace gsadmin::testing {

LoopbackPeer::LoopbackPeer(uint16_t port, OnBindFailure onFailure) {
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    if (onFailure == OnBindFailure::kStayUnbound) return;
    std::perror("LoopbackPeer: bind");
    std::abort();
  }
  int queue = 16 * 1024 * 1024;
  if (::setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &queue, sizeof(queue)) != 0) {
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &queue, sizeof(queue));
  }
  socklen_t size = sizeof(address);
  ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
  port_ = ntohs(address.sin_port);
}

LoopbackPeer::~LoopbackPeer() {
  if (fd_ >= 0) ::close(fd_);
}

std::optional<Datagram> LoopbackPeer::receive(int timeoutMs) {
  pollfd entry{fd_, POLLIN, 0};
  int ready;
  do {
    ready = ::poll(&entry, 1, timeoutMs);
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) return std::nullopt;
  Datagram datagram(65536);
  sockaddr_in from{};
  socklen_t size = sizeof(from);
  ssize_t n = ::recvfrom(fd_, datagram.data(), datagram.size(), MSG_DONTWAIT,
                         reinterpret_cast<sockaddr*>(&from), &size);
  if (n < 0) return std::nullopt;
  datagram.resize(static_cast<size_t>(n));
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
  ssize_t n = ::sendto(fd_, datagram.data(), datagram.size(), 0,
                       reinterpret_cast<const sockaddr*>(&*client_), sizeof(*client_));
  return n == static_cast<ssize_t>(datagram.size());
}

}  // namespace gsadmin::testing
