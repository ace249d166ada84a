#include "server_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *error = std::string("cannot create a UDP socket: ") + std::strerror(errno);
    return nullptr;
  }
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0) {
    *error = "cannot bind " + where + ": " + std::strerror(errno);
    ::close(fd);
    return nullptr;
  }
  socklen_t size = sizeof(local);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size);
  return std::make_unique<ServerSocket>(fd, ntohs(local.sin_port));
}

ServerSocket::~ServerSocket() {
  ::close(fd_);
}

bool ServerSocket::waitReadable(int timeoutMs) {
  pollfd entry{fd_, POLLIN, 0};
  return ::poll(&entry, 1, timeoutMs) > 0 && (entry.revents & POLLIN) != 0;
}

std::optional<size_t> ServerSocket::receive(uint8_t* buffer, size_t capacity, Endpoint* from) {
  for (;;) {
    sockaddr_in sender{};
    socklen_t size = sizeof(sender);
    ssize_t n = ::recvfrom(fd_, buffer, capacity, MSG_DONTWAIT,
                           reinterpret_cast<sockaddr*>(&sender), &size);
    if (n < 0) {
      // An ICMP error left by an earlier send to a closed port: skip it.
      if (errno == ECONNREFUSED || errno == EINTR) continue;
      return std::nullopt;
    }
    from->address = ntohl(sender.sin_addr.s_addr);
    from->port = ntohs(sender.sin_port);
    return static_cast<size_t>(n);
  }
}

void ServerSocket::sendTo(const Endpoint& to, const Datagram& datagram) {
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(to.port);
  peer.sin_addr.s_addr = htonl(to.address);
  ::sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&peer),
           sizeof(peer));
}

}  // namespace gsadmin::sim
