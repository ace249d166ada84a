#include "support/udp_client.h"

#include <netinet/in.h>

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
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(serverPort);
  server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socket_ = UdpSocket::connectTo(server);
  if (!socket_) {
    std::perror("UdpClient: connect");
    std::abort();
  }
}

UdpClient::~UdpClient() = default;

void UdpClient::send(const Datagram& datagram) {
  socket_->send(datagram.data(), datagram.size());
}

std::optional<Datagram> UdpClient::receive(int timeoutMs) {
  int64_t end = nowMs() + timeoutMs;
  for (;;) {
    int64_t left = end - nowMs();
    if (!socket_->waitReadable(static_cast<int>(left > 0 ? left : 0))) return std::nullopt;
    Datagram datagram(65536);
    ReceiveResult received = socket_->receive(datagram.data(), datagram.size());
    // A refused earlier send (no server yet) is reported as an error; go on.
    if (received.kind != ReceiveResult::Kind::kDatagram) continue;
    datagram.resize(received.length);
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
