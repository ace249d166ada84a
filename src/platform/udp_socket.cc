#include "platform/udp_socket.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/poller.h"

namespace gsadmin {

std::unique_ptr<UdpSocket> UdpSocket::connectTo(const sockaddr_in& peer, std::string* error) {
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    if (error) *error = std::string("cannot create a UDP socket: ") + std::strerror(errno);
    return nullptr;
  }
  auto socket = std::make_unique<UdpSocket>(fd);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof(peer)) != 0) {
    if (error) *error = std::string("cannot connect: ") + std::strerror(errno);
    return nullptr;
  }
  return socket;
}

std::unique_ptr<UdpSocket> UdpSocket::bindTo(const sockaddr_in& local, std::string* error) {
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    if (error) *error = std::string("cannot create a UDP socket: ") + std::strerror(errno);
    return nullptr;
  }
  auto socket = std::make_unique<UdpSocket>(fd);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0) {
    if (error) *error = std::strerror(errno);
    return nullptr;
  }
  return socket;
}

UdpSocket::~UdpSocket() {
  ::close(fd_);
}

bool UdpSocket::waitReadable(int timeoutMs) {
  Poller poller;
  size_t index = poller.watch(fd_);
  return poller.wait(timeoutMs) > 0 && poller.readable(index);
}

ReceiveResult UdpSocket::receive(uint8_t* buffer, size_t capacity) {
  ssize_t n;
  do {
    // MSG_TRUNC makes the kernel report the datagram's real length, so an
    // oversize datagram is detected instead of silently cut.
    n = ::recv(fd_, buffer, capacity, MSG_DONTWAIT | MSG_TRUNC);
  } while (n < 0 && errno == EINTR);
  if (n >= 0) return {ReceiveResult::Kind::kDatagram, static_cast<size_t>(n)};
  if (errno == EAGAIN || errno == EWOULDBLOCK) return {};
  return {ReceiveResult::Kind::kError, 0};
}

ReceiveBatch::ReceiveBatch(size_t slots, size_t capacity)
    : capacity_(capacity),
      // Left uncleared: pages are only touched by datagrams written there.
      bytes_(std::make_unique_for_overwrite<uint8_t[]>(slots * capacity)),
      vectors_(slots),
      messages_(slots) {
  for (size_t i = 0; i < slots; ++i) {
    vectors_[i] = {bytes_.get() + i * capacity_, capacity_};
    messages_[i].msg_hdr.msg_iov = &vectors_[i];
    messages_[i].msg_hdr.msg_iovlen = 1;
  }
}

BatchReceiveResult UdpSocket::receiveBatch(ReceiveBatch& batch, size_t most) {
  auto wanted = static_cast<unsigned>(std::min(most, batch.slots()));
  if (wanted == 0) return {};
  int n;
  do {
    n = ::recvmmsg(fd_, batch.messages_.data(), wanted, MSG_DONTWAIT | MSG_TRUNC, nullptr);
  } while (n < 0 && errno == EINTR);
  if (n > 0) return {ReceiveResult::Kind::kDatagram, static_cast<size_t>(n)};
  if (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK) return {};
  return {ReceiveResult::Kind::kError, 0};
}

ReceiveResult UdpSocket::receiveFrom(uint8_t* buffer, size_t capacity, sockaddr_in* from) {
  ssize_t n;
  do {
    socklen_t size = sizeof(*from);
    n = ::recvfrom(fd_, buffer, capacity, MSG_DONTWAIT | MSG_TRUNC,
                   reinterpret_cast<sockaddr*>(from), &size);
  } while (n < 0 && errno == EINTR);
  if (n >= 0) return {ReceiveResult::Kind::kDatagram, static_cast<size_t>(n)};
  if (errno == EAGAIN || errno == EWOULDBLOCK) return {};
  return {ReceiveResult::Kind::kError, 0};
}

bool UdpSocket::sendTo(const sockaddr_in& to, const uint8_t* data, size_t length) {
  ssize_t n =
      ::sendto(fd_, data, length, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to), sizeof(to));
  return n == static_cast<ssize_t>(length);
}

sockaddr_in UdpSocket::localAddress() const {
  sockaddr_in local{};
  socklen_t size = sizeof(local);
  ::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &size);
  return local;
}

void UdpSocket::send(const uint8_t* data, size_t length) {
  ssize_t ignored = ::send(fd_, data, length, MSG_NOSIGNAL);
  (void)ignored;
}

void UdpSocket::setReceiveBufferSize(int bytes) {
  // The privileged form passes the system's ceiling; the plain one is capped.
  if (::setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof(bytes)) != 0) {
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof(bytes));
  }
}

}  // namespace gsadmin
