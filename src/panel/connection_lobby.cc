#include "panel/connection_lobby.h"

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string_view>

#include "panel/connection_stream.h"
#include "panel/peer_address.h"
#include "platform/thread_name.h"

namespace gsadmin {
namespace {

using SteadyClock = std::chrono::steady_clock;

// Accepted sockets waiting for the lobby's thread at most; the accepting
// thread waits beyond, leaving the rest in the system's listen queue.
constexpr size_t kMaxWaiting = 8;

// How long a refused connection is read from (and what is read dropped)
// before it closes, and the most read at a time.
constexpr std::chrono::milliseconds kClosingTime{1000};
constexpr size_t kClosingChunk = 64 * 1024;

// The lowest descriptor a connection may not have: the process's limit,
// and never FD_SETSIZE (the library answers 500 on a socket past it),
// less the reserve and the sockets that may wait for the lobby.
int descriptorCeiling(int reserve) {
  rlimit limit{};
  rlim_t soft = getrlimit(RLIMIT_NOFILE, &limit) == 0 ? limit.rlim_cur : FD_SETSIZE;
  rlim_t usable = std::min<rlim_t>(soft, FD_SETSIZE);
  return static_cast<int>(usable) - reserve - static_cast<int>(kMaxWaiting) - 1;
}

std::string answerText(int status, const char* reason, const char* message) {
  std::string body = std::string("{\"error\":\"") + message + "\"}";
  return "HTTP/1.1 " + std::to_string(status) + " " + reason +
         "\r\nContent-Type: application/json\r\nX-Content-Type-Options: nosniff\r\n"
         "Connection: close\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

// The method and raw target of the request line at the start of `bytes`.
std::pair<std::string_view, std::string_view> requestLineOf(std::string_view bytes) {
  std::string_view line = bytes.substr(0, bytes.find('\r'));
  size_t space = line.find(' ');
  if (space == std::string_view::npos) return {line, {}};
  std::string_view rest = line.substr(space + 1);
  return {line.substr(0, space), rest.substr(0, rest.find(' '))};
}

}  // namespace

ConnectionLobby::ConnectionLobby(ServerLimits limits, SSL_CTX* tls, Process process)
    : limits_(std::move(limits)), tls_(tls), process_(std::move(process)) {}

ConnectionLobby::~ConnectionLobby() {
  stop();
  if (epoll_ >= 0) close(epoll_);
  if (wake_ >= 0) close(wake_);
}

bool ConnectionLobby::start(std::string* error) {
  epoll_ = epoll_create1(EPOLL_CLOEXEC);
  wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.fd = wake_;
  if (epoll_ < 0 || wake_ < 0 || epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &event) != 0) {
    *error = std::string("cannot watch connections: ") + std::strerror(errno);
    return false;
  }
  descriptorCeiling_ = descriptorCeiling(limits_.descriptorReserve);
  WorkerPool::Serve serve = [this](std::unique_ptr<Connection> connection) {
    this->serve(std::move(connection));
  };
  workers_ = std::make_unique<WorkerPool>(limits_.workers, serve, limits_.workerName);
  if (limits_.lastingWorkers > 0) {
    lasting_ = std::make_unique<WorkerPool>(limits_.lastingWorkers, serve, limits_.workerName);
  }
  thread_ = std::thread([this] {
    nameThisThread(limits_.lobbyName);
    run();
  });
  return true;
}

void ConnectionLobby::admit(int fd) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    drained_.wait(lock, [this] { return stopping_ || incoming_.size() < kMaxWaiting; });
    if (stopping_) {
      close(fd);
      return;
    }
    incoming_.push_back(fd);
  }
  uint64_t one = 1;
  ssize_t ignored = write(wake_, &one, sizeof one);
  (void)ignored;
}

void ConnectionLobby::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
  }
  drained_.notify_all();
  uint64_t one = 1;
  if (wake_ >= 0) {
    ssize_t ignored = write(wake_, &one, sizeof one);
    (void)ignored;
  }
  if (thread_.joinable()) thread_.join();
  // Workers still answering hand their connections back to be closed.
  if (workers_) workers_->stop();
  if (lasting_) lasting_->stop();
  std::lock_guard<std::mutex> lock(mutex_);
  for (int fd : incoming_) close(fd);
  incoming_.clear();
  returned_.clear();
}

void ConnectionLobby::run() {
  std::array<epoll_event, 64> events;
  std::optional<SteadyTime> next;
  for (;;) {
    int timeout = -1;
    if (next) {
      auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - SteadyClock::now());
      timeout = static_cast<int>(std::clamp<int64_t>(left.count(), 0, INT_MAX));
    }
    int ready = epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), timeout);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) break;
    }
    SteadyTime now = SteadyClock::now();
    for (int i = 0; i < ready; ++i) {
      int fd = events[static_cast<size_t>(i)].data.fd;
      if (fd == wake_) {
        uint64_t count;
        ssize_t ignored = read(wake_, &count, sizeof count);
        (void)ignored;
      } else if (entries_.count(fd) && entries_[fd].connection) {
        service(fd, now);
      }
    }
    takeQueued(now);
    next = expire(now);
  }
  entries_.clear();  // closes the connections held here
}

void ConnectionLobby::takeQueued(SteadyTime now) {
  std::vector<int> incoming, released;
  std::vector<std::unique_ptr<Connection>> returned;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    incoming.swap(incoming_);
    returned.swap(returned_);
    released.swap(released_);
  }
  drained_.notify_all();
  // Before the incoming: a socket number released may be one of theirs now.
  for (int fd : released) closeEntry(fd);
  for (std::unique_ptr<Connection>& connection : returned) {
    int fd = connection->fd();
    auto found = entries_.find(fd);
    if (found == entries_.end()) continue;  // cannot be: it stays counted at a worker
    bool keep = connection->keep;
    found->second.connection = std::move(connection);
    if (!keep) {
      closeEntry(fd);
      continue;
    }
    Connection& back = *found->second.connection;
    back.frame.reset();
    back.requestStart.reset();
    back.headersDoneAt.reset();
    back.lastActive = now;
    watch(fd, true, false);
    service(fd, now);  // bytes may already wait: pipelined, or held by TLS
  }
  for (int fd : incoming) admitOne(fd, now);
}

void ConnectionLobby::admitOne(int fd, SteadyTime now) {
  std::optional<std::string> peer = peerKeyOf(fd);
  if (peer && fd >= descriptorCeiling_ && makeRoom(nullptr)) {
    // The descriptor closed for room is the lowest free one now.
    int lower = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    close(fd);
    fd = lower;
    if (fd < 0) return;
  }
  if (!peer || fd >= descriptorCeiling_) {
    refuse(fd);
    return;
  }
  auto fromPeer = perPeer_.find(*peer);
  bool peerFull = fromPeer != perPeer_.end() && fromPeer->second >= limits_.maxPerAddress;
  if ((peerFull && !makeRoom(&*peer)) ||
      (entries_.size() >= limits_.maxConnections && !makeRoom(nullptr))) {
    refuse(fd);
    return;
  }
  std::unique_ptr<Connection> connection = Connection::make(
      fd, tls_, *peer, RequestFrame(limits_.maxHeaderBytes, limits_.maxBodyBytes), now);
  if (!connection) return;  // closed by make()
  ++perPeer_[*peer];
  entries_[fd] = Entry{std::move(connection), *peer, ++admissions_};
  watch(fd, true, false);
}

// Closes the connection that waits the longest with nothing to answer,
// from `peer` only when given; failing that, the one whose request has
// been arriving the longest (a real client sends its request at once).
// One whose request waits in the system's buffer is spared: a burst of
// connections admitted before their requests are read would drop them.
bool ConnectionLobby::makeRoom(const std::string* peer) {
  int victim = -1;
  bool victimIdle = false;
  SteadyTime victimSince{};
  uint64_t victimAdmitted = 0;
  for (const auto& [fd, entry] : entries_) {
    const Connection* connection = entry.connection.get();
    if (connection == nullptr || (peer && entry.peer != *peer)) continue;
    if (!connection->closingBy && connection->bytesWaiting()) continue;
    // A connection already closing goes first.
    bool idle = connection->closingBy || (connection->handshaken() && !connection->requestStart);
    SteadyTime since = connection->closingBy ? SteadyTime::min()
                       : idle                ? connection->lastActive
                              : connection->requestStart.value_or(connection->connectedAt);
    bool older = since < victimSince || (since == victimSince && entry.admitted < victimAdmitted);
    if (victim < 0 || (idle && !victimIdle) || (idle == victimIdle && older)) {
      victim = fd;
      victimIdle = idle;
      victimSince = since;
      victimAdmitted = entry.admitted;
    }
  }
  if (victim < 0) return false;
  closeEntry(victim);
  return true;
}

void ConnectionLobby::refuse(int fd) {
  if (tls_ == nullptr) {
    std::string text = answerText(503, "Service Unavailable", "too many connections");
    ssize_t ignored = send(fd, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    (void)ignored;
  }
  shutdown(fd, SHUT_RDWR);
  close(fd);
}

void ConnectionLobby::watch(int fd, bool add, bool writing) {
  epoll_event event{};
  event.events = EPOLLIN | (writing ? EPOLLOUT : 0u);
  event.data.fd = fd;
  epoll_ctl(epoll_, add ? EPOLL_CTL_ADD : EPOLL_CTL_MOD, fd, &event);
}

void ConnectionLobby::service(int fd, SteadyTime now) {
  Connection& connection = *entries_[fd].connection;
  if (connection.closingBy) {
    Connection::Progress read = connection.readAvailable(kClosingChunk);
    connection.pending().clear();
    if (read == Connection::Progress::kClosed || read == Connection::Progress::kFailed) {
      closeEntry(fd);
    }
    return;
  }
  if (!connection.handshaken()) {
    Connection::Progress step = connection.handshake();
    if (step == Connection::Progress::kFailed) return closeEntry(fd);
    if (step != Connection::Progress::kDone) {
      return watch(fd, false, step == Connection::Progress::kWantWrite);
    }
  }
  // Past the header cap by one byte at most, until the headers are done.
  size_t cap = limits_.maxHeaderBytes + (connection.frame.headersDone() ? limits_.maxBodyBytes : 1);
  size_t held = connection.pending().size();
  Connection::Progress read = connection.readAvailable(cap > held ? cap - held : 0);
  if (read == Connection::Progress::kFailed) return closeEntry(fd);
  if (connection.pending().size() > held) connection.lastActive = now;
  if (connection.pending().empty()) {
    if (read == Connection::Progress::kClosed) return closeEntry(fd);
    return watch(fd, false, read == Connection::Progress::kWantWrite);
  }
  if (!connection.requestStart) connection.requestStart = now;
  switch (connection.frame.measure(connection.pending())) {
    case FrameStatus::kComplete:
      return handOff(fd, now);
    case FrameStatus::kIncomplete:
      break;
    case FrameStatus::kHeadersTooLarge:
      return answerAndClose(fd, now, 431, "Request Header Fields Too Large",
                            "request headers too large");
    case FrameStatus::kBodyTooLarge:
      return answerAndClose(fd, now, 413, "Payload Too Large", "request body too large");
    case FrameStatus::kLengthRequired:
      return answerAndClose(fd, now, 411, "Length Required",
                            "a request body needs a Content-Length");
    case FrameStatus::kBad:
      return answerAndClose(fd, now, 400, "Bad Request", "bad Content-Length");
  }
  if (connection.frame.headersDone() && !connection.headersDoneAt) {
    connection.headersDoneAt = now;
  }
  if (read == Connection::Progress::kClosed) return closeEntry(fd);
  watch(fd, false, read == Connection::Progress::kWantWrite);
}

void ConnectionLobby::answerAndClose(int fd, SteadyTime now, int status, const char* reason,
                                     const char* message) {
  Connection& connection = *entries_[fd].connection;
  connection.writeOnce(answerText(status, reason, message));
  shutdown(fd, SHUT_WR);
  connection.pending().clear();
  connection.closingBy = now + kClosingTime;
  watch(fd, false, false);
}

void ConnectionLobby::handOff(int fd, SteadyTime now) {
  epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
  std::unique_ptr<Connection> connection = std::move(entries_[fd].connection);
  auto [method, target] = requestLineOf(connection->pending());
  bool lasting = lasting_ && limits_.lasting && limits_.lasting(method, target);
  connection->answerBy.reset();
  if (!lasting) connection->answerBy = now + limits_.answer;
  (lasting ? lasting_ : workers_)->add(std::move(connection));
}

void ConnectionLobby::closeEntry(int fd) {
  auto found = entries_.find(fd);
  if (found == entries_.end()) return;
  auto count = perPeer_.find(found->second.peer);
  if (count != perPeer_.end() && --count->second == 0) perPeer_.erase(count);
  // Closing the socket takes it out of the epoll set too.
  entries_.erase(found);
}

std::optional<SteadyTime> ConnectionLobby::deadlineOf(const Connection& connection) const {
  if (connection.closingBy) return connection.closingBy;
  if (!connection.handshaken()) return connection.connectedAt + limits_.headers;
  if (connection.headersDoneAt) return *connection.headersDoneAt + limits_.body;
  if (connection.requestStart) return *connection.requestStart + limits_.headers;
  return connection.lastActive + limits_.idle;
}

std::optional<SteadyTime> ConnectionLobby::expire(SteadyTime now) {
  std::vector<int> late;
  std::optional<SteadyTime> next;
  for (const auto& [fd, entry] : entries_) {
    if (!entry.connection) continue;
    std::optional<SteadyTime> deadline = deadlineOf(*entry.connection);
    if (!deadline) continue;
    if (*deadline <= now) {
      late.push_back(fd);
    } else if (!next || *deadline < *next) {
      next = deadline;
    }
  }
  for (int fd : late) closeEntry(fd);
  return next;
}

}  // namespace gsadmin
