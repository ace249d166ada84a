#include "panel/connection.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>

namespace gsadmin {
namespace {

using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

constexpr size_t kReadChunk = 16 * 1024;

// Waits for `events` on `fd` for at most `stall`, never past `deadline`;
// whether they (or an error the next call reports) came.
bool waitOn(int fd, short events, milliseconds stall, std::optional<SteadyTime> deadline) {
  SteadyTime end = SteadyClock::now() + stall;
  if (deadline) end = std::min(end, *deadline);
  for (;;) {
    // Rounded up, so that a wait given up is one whose end has come.
    auto left = std::chrono::ceil<milliseconds>(end - SteadyClock::now()).count();
    if (left <= 0) return false;
    pollfd entry{fd, events, 0};
    int ready = poll(&entry, 1, static_cast<int>(std::min<int64_t>(left, INT_MAX)));
    if (ready > 0) return true;
    if (ready == 0 || errno != EINTR) return false;
  }
}

Connection::Progress progressOf(SSL* ssl, int result) {
  switch (SSL_get_error(ssl, result)) {
    case SSL_ERROR_WANT_READ:
      return Connection::Progress::kWantRead;
    case SSL_ERROR_WANT_WRITE:
      return Connection::Progress::kWantWrite;
    case SSL_ERROR_ZERO_RETURN:
      return Connection::Progress::kClosed;
    default:
      return Connection::Progress::kFailed;
  }
}

}  // namespace

std::unique_ptr<Connection> Connection::make(int fd, SSL_CTX* context, std::string peer,
                                             RequestFrame frame, SteadyTime now) {
  SSL* ssl = context ? SSL_new(context) : nullptr;
  // Owned from here on, so that every return closes it.
  auto connection = std::make_unique<Connection>(fd, ssl, std::move(peer), frame, now);
  int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0 ||
      fcntl(fd, F_SETFD, FD_CLOEXEC) != 0) {
    return nullptr;
  }
  if (context && (ssl == nullptr || SSL_set_fd(ssl, fd) != 1)) return nullptr;
  // An answer goes out in several writes (headers, then body): with Nagle's
  // delay the body of every answer after a connection's first would wait
  // for the peer's delayed acknowledgement, some 40 ms.
  int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return connection;
}

Connection::Connection(int fd, SSL* ssl, std::string peer, RequestFrame frame, SteadyTime now)
    : frame(frame), connectedAt(now), lastActive(now), fd_(fd), ssl_(ssl), peer_(std::move(peer)) {}

Connection::~Connection() {
  // One try at the close notification: the socket closes anyway.
  if (ssl_ && handshaken_) SSL_shutdown(ssl_.get());
  ssl_.reset();
  shutdown(fd_, SHUT_RDWR);
  close(fd_);
}

Connection::Progress Connection::handshake() {
  int result = SSL_accept(ssl_.get());
  if (result == 1) {
    handshaken_ = true;
    return Progress::kDone;
  }
  Progress progress = progressOf(ssl_.get(), result);
  return progress == Progress::kClosed ? Progress::kFailed : progress;
}

bool Connection::bytesWaiting() const {
  int waiting = 0;
  return ioctl(fd_, FIONREAD, &waiting) == 0 && waiting > 0;
}

Connection::Progress Connection::readAvailable(size_t room) {
  std::array<char, kReadChunk> chunk;
  bool added = false;
  while (room > 0) {
    int want = static_cast<int>(std::min(room, chunk.size()));
    ssize_t n;
    if (ssl_) {
      n = SSL_read(ssl_.get(), chunk.data(), want);
      if (n <= 0) {
        Progress progress = progressOf(ssl_.get(), static_cast<int>(n));
        return added && progress != Progress::kFailed ? Progress::kDone : progress;
      }
    } else {
      n = recv(fd_, chunk.data(), static_cast<size_t>(want), 0);
      if (n == 0) return added ? Progress::kDone : Progress::kClosed;
      if (n < 0) {
        if (errno == EINTR) continue;
        bool later = errno == EAGAIN || errno == EWOULDBLOCK;
        if (!later) return Progress::kFailed;
        return added ? Progress::kDone : Progress::kWantRead;
      }
    }
    pending_.append(chunk.data(), static_cast<size_t>(n));
    room -= static_cast<size_t>(n);
    added = true;
  }
  return Progress::kDone;
}

bool Connection::writeAll(const char* data, size_t size, std::optional<SteadyTime> deadline,
                          milliseconds stall) {
  if (ssl_) return tlsWrite(data, size, deadline, stall);
  size_t done = 0;
  while (done < size) {
    ssize_t n = send(fd_, data + done, size - done, MSG_NOSIGNAL);
    if (n >= 0) {
      done += static_cast<size_t>(n);
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (!waitOn(fd_, POLLOUT, stall, deadline)) return false;
    } else if (errno != EINTR) {
      return false;
    }
  }
  return true;
}

bool Connection::tlsWrite(const char* data, size_t size, std::optional<SteadyTime> deadline,
                          milliseconds stall) {
  size_t done = 0;
  while (done < size) {
    int length = static_cast<int>(std::min<size_t>(size - done, INT_MAX));
    int n = SSL_write(ssl_.get(), data + done, length);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    Progress progress = progressOf(ssl_.get(), n);
    short events = progress == Progress::kWantRead    ? POLLIN
                   : progress == Progress::kWantWrite ? POLLOUT
                                                      : 0;
    if (events == 0 || !waitOn(fd_, events, stall, deadline)) return false;
  }
  return true;
}

Connection::Progress Connection::writeSome(const char* data, size_t size, size_t* written) {
  size_t done = 0;
  Progress progress = Progress::kDone;
  while (done < size) {
    if (ssl_) {
      int n = SSL_write(ssl_.get(), data + done,
                        static_cast<int>(std::min<size_t>(size - done, INT_MAX)));
      if (n <= 0) {
        progress = progressOf(ssl_.get(), n);
        if (progress == Progress::kClosed) progress = Progress::kFailed;
        break;
      }
      done += static_cast<size_t>(n);
      continue;
    }
    ssize_t n = send(fd_, data + done, size - done, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) {
      done += static_cast<size_t>(n);
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      progress = Progress::kWantWrite;
      break;
    } else if (errno != EINTR) {
      progress = Progress::kFailed;
      break;
    }
  }
  *written += done;
  return progress;
}

bool Connection::writable(milliseconds stall) const {
  return waitOn(fd_, POLLOUT, stall, std::nullopt);
}

void Connection::writeOnce(std::string_view text) {
  if (ssl_) {
    if (handshaken_) SSL_write(ssl_.get(), text.data(), static_cast<int>(text.size()));
    return;
  }
  ssize_t ignored = send(fd_, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  (void)ignored;
}

}  // namespace gsadmin
