#include "support/udp_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/clock.h"

namespace gsadmin::testing {
namespace {

int64_t nowMs() {
  return static_cast<int64_t>(SystemClock().nowMs());
}

}  // namespace

UdpClient::UdpClient(uint16_t serverPort) {
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(serverPort);
  server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&server), sizeof(server)) != 0) {
    std::perror("UdpClient: connect");
    std::abort();
  }
}

UdpClient::~UdpClient() {
  if (fd_ >= 0) ::close(fd_);
}

void UdpClient::send(const Datagram& datagram) {
  ::send(fd_, datagram.data(), datagram.size(), 0);
}

std::optional<Datagram> UdpClient::receive(int timeoutMs) {
  int64_t end = nowMs() + timeoutMs;
  for (;;) {
    int64_t left = end - nowMs();
    pollfd entry{fd_, POLLIN, 0};
    int ready = ::poll(&entry, 1, static_cast<int>(left > 0 ? left : 0));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return std::nullopt;
    Datagram datagram(65536);
    ssize_t n = ::recv(fd_, datagram.data(), datagram.size(), MSG_DONTWAIT);
    if (n < 0) {
      // A refused earlier send (no server yet) is reported here; go on.
      if (errno == ECONNREFUSED || errno == EAGAIN || errno == EINTR) continue;
      return std::nullopt;
    }
    datagram.resize(static_cast<size_t>(n));
    return datagram;
  }
}

std::optional<Datagram> UdpClient::receiveId(uint8_t id, int timeoutMs) {
  int64_t end = nowMs() + timeoutMs;
  for (;;) {
    int64_t left = end - nowMs();
    if (left <= 0) return std::nullopt;
    std::optional<Datagram> datagram = receive(static_cast<int>(left));
    if (!datagram) return std::nullopt;
    if (!datagram->empty() && (*datagram)[0] == id) return datagram;
  }
}

}  // namespace gsadmin::testing
