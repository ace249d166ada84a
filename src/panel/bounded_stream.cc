#include "panel/bounded_stream.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace gsadmin {
namespace {

using SteadyClock = std::chrono::steady_clock;
using Deadline = std::optional<SteadyClock::time_point>;

// Waits for `events` on `fd` for at most `timeout`, and never past
// `deadline` when one is given; whether they (or an error or hang-up,
// which the next transfer then reports) came.
bool waitOn(int fd, short events, std::chrono::milliseconds timeout, Deadline deadline) {
  SteadyClock::time_point end = SteadyClock::now() + timeout;
  if (deadline) end = std::min(end, *deadline);
  for (;;) {
    // Rounded up, so that a wait given up is one whose end has come.
    auto left = std::chrono::ceil<std::chrono::milliseconds>(end - SteadyClock::now()).count();
    if (left <= 0) return false;
    pollfd entry{fd, events, 0};
    int ready = poll(&entry, 1, static_cast<int>(std::min<int64_t>(left, INT_MAX)));
    if (ready > 0) return true;
    if (ready == 0 || errno != EINTR) return false;
  }
}

// What a stalled OpenSSL call waits for; 0 for a failure that waiting
// cannot mend.
short eventsOf(int sslError) {
  if (sslError == SSL_ERROR_WANT_READ) return POLLIN;
  if (sslError == SSL_ERROR_WANT_WRITE) return POLLOUT;
  return 0;
}

bool setNonBlocking(int fd) {
  int flags = fcntl(fd, F_GETFL);
  return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

void addressOf(const sockaddr_storage& address, socklen_t size, std::string& ip, int& port) {
  char host[NI_MAXHOST], service[NI_MAXSERV];
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&address), size, host, sizeof host, service,
                  sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
    ip = host;
    port = std::atoi(service);
  }
}

}  // namespace

std::unique_ptr<BoundedStream> BoundedStream::plain(int fd, const ConnectionLimits& limits) {
  if (!setNonBlocking(fd)) return nullptr;
  return std::make_unique<BoundedStream>(fd, nullptr, limits);
}

std::unique_ptr<BoundedStream> BoundedStream::tls(int fd, SSL_CTX* context,
                                                  const ConnectionLimits& limits) {
  SSL* ssl = SSL_new(context);
  if (ssl == nullptr) return nullptr;
  // Owned from here on, so that every return frees it.
  auto stream = std::make_unique<BoundedStream>(fd, ssl, limits);
  if (!setNonBlocking(fd) || SSL_set_fd(ssl, fd) != 1) return nullptr;
  Deadline deadline = SteadyClock::now() + limits.requestLimit;
  for (;;) {
    int result = SSL_accept(ssl);
    if (result == 1) return stream;
    short events = eventsOf(SSL_get_error(ssl, result));
    if (events == 0 || !waitOn(fd, events, limits.readTimeout, deadline)) {
      stream->ssl_.reset();  // no close notification on a failed handshake
      return nullptr;
    }
  }
}

BoundedStream::BoundedStream(int fd, SSL* ssl, const ConnectionLimits& limits)
    : fd_(fd), ssl_(ssl), limits_(limits) {}

BoundedStream::~BoundedStream() {
  // One try at the close notification: the socket is about to close anyway.
  if (ssl_) SSL_shutdown(ssl_.get());
}

void BoundedStream::startRequest() {
  readDeadline_ = SteadyClock::now() + limits_.requestLimit;
  overran_ = false;
}

bool BoundedStream::hasBuffered() const {
  return offset_ < buffered_ || (ssl_ && SSL_pending(ssl_.get()) > 0);
}

bool BoundedStream::pastReadDeadline() const {
  if (readDeadline_ && SteadyClock::now() >= *readDeadline_) overran_ = true;
  return overran_;
}

bool BoundedStream::waitReadable(std::chrono::milliseconds timeout) const {
  return hasBuffered() || waitOn(fd_, POLLIN, timeout, std::nullopt);
}

bool BoundedStream::is_readable() const {
  if (pastReadDeadline()) return false;
  if (hasBuffered() || waitOn(fd_, POLLIN, limits_.readTimeout, readDeadline_)) return true;
  pastReadDeadline();  // notes a wait the limit cut short
  return false;
}

bool BoundedStream::is_writable() const {
  return waitOn(fd_, POLLOUT, limits_.writeTimeout, std::nullopt);
}

ssize_t BoundedStream::read(char* ptr, size_t size) {
  if (pastReadDeadline()) return -1;
  if (ssl_) return tlsTransfer(ptr, size, true);
  if (offset_ == buffered_) {
    ssize_t filled = fill();
    if (filled <= 0) return filled;
  }
  size_t taken = std::min(size, buffered_ - offset_);
  std::memcpy(ptr, buffer_.data() + offset_, taken);
  offset_ += taken;
  return static_cast<ssize_t>(taken);
}

ssize_t BoundedStream::fill() {
  offset_ = buffered_ = 0;
  for (;;) {
    if (!waitOn(fd_, POLLIN, limits_.readTimeout, readDeadline_)) {
      pastReadDeadline();
      return -1;
    }
    ssize_t n = recv(fd_, buffer_.data(), buffer_.size(), 0);
    if (n >= 0) {
      buffered_ = static_cast<size_t>(n);
      return n;
    }
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return -1;
  }
}

ssize_t BoundedStream::write(const char* ptr, size_t size) {
  if (ssl_) return tlsTransfer(const_cast<char*>(ptr), size, false);
  size_t done = 0;
  while (done < size) {
    if (!waitOn(fd_, POLLOUT, limits_.writeTimeout, std::nullopt)) return -1;
    ssize_t n = send(fd_, ptr + done, size - done, MSG_NOSIGNAL);
    if (n >= 0) {
      done += static_cast<size_t>(n);
    } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
      return -1;
    }
  }
  return static_cast<ssize_t>(size);
}

ssize_t BoundedStream::tlsTransfer(char* ptr, size_t size, bool reading) {
  int length = static_cast<int>(std::min<size_t>(size, INT_MAX));
  for (;;) {
    int n = reading ? SSL_read(ssl_.get(), ptr, length) : SSL_write(ssl_.get(), ptr, length);
    if (n > 0) return n;
    int error = SSL_get_error(ssl_.get(), n);
    if (reading && error == SSL_ERROR_ZERO_RETURN) return 0;
    short events = eventsOf(error);
    // A write may have to read (and the other way round); only reads keep
    // the request's limit.
    if (events == 0 || !waitOn(fd_, events, reading ? limits_.readTimeout : limits_.writeTimeout,
                               reading ? readDeadline_ : std::nullopt)) {
      if (reading) pastReadDeadline();
      return -1;
    }
  }
}

void BoundedStream::get_remote_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage address{};
  socklen_t size = sizeof address;
  if (getpeername(fd_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    addressOf(address, size, ip, port);
  }
}

void BoundedStream::get_local_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage address{};
  socklen_t size = sizeof address;
  if (getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    addressOf(address, size, ip, port);
  }
}

}  // namespace gsadmin
