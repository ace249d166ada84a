#include "panel_streams.h"

#include <httplib.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "panel/stream_limits.h"
#include "support/raw_socket.h"

namespace gsadmin::bench {
namespace {

constexpr std::chrono::seconds kStreamReadTimeout{120};

}  // namespace

double percentile(const std::vector<double>& sorted, double fraction) {
  if (sorted.empty()) return 0;
  auto index = static_cast<size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
  return sorted[std::min(index, sorted.size() - 1)];
}

bool PanelClient::start(const std::optional<std::string>& script, std::vector<std::string> options,
                        const std::optional<std::string>& directory, const std::string& program) {
  options.insert(options.begin(),
                 {"--http=127.0.0.1:0", "--http-users=" + testing::writeUsers(dir)});
  client = std::make_unique<LiveClient>(script, true, options, directory, program);
  port = testing::portOf(client->process(), "Panel");
  if (port == 0 || !client->connect({{kPanelPlayer, "Bob", 0, true}})) return false;
  httplib::Client http("127.0.0.1", port);
  user = testing::logIn(http, "alice", "secret");
  return user.has_value();
}

std::vector<testing::WebUser> PanelClient::streamLogins(int streams) {
  std::vector<testing::WebUser> logins;
  httplib::Client http("127.0.0.1", port);
  auto perSession = static_cast<int>(kMaxStreamsPerSession);
  auto perAccount = static_cast<int>(kMaxStreamsPerAccount / kMaxStreamsPerSession);
  for (int i = 0; i * perSession < streams; ++i) {
    std::optional<testing::WebUser> login =
        testing::logIn(http, i < perAccount ? "alice" : "mia", "secret");
    if (!login) return {};
    logins.push_back(*login);
  }
  return logins;
}

StreamReaders::StreamReaders(int port, const std::vector<testing::WebUser>& logins, int streams,
                             int lines)
    : seen_(static_cast<size_t>(streams),
            std::vector<std::optional<StreamClock::time_point>>(static_cast<size_t>(lines))) {
  for (int i = 0; i < streams; ++i) {
    testing::WebUser user = logins[static_cast<size_t>(i) / kMaxStreamsPerSession];
    threads_.emplace_back([this, port, user, i]() { read(port, user, seen_[i]); });
  }
}

bool StreamReaders::waitOpen(int timeoutMs) {
  auto end = StreamClock::now() + std::chrono::milliseconds(timeoutMs);
  while (open_ < static_cast<int>(threads_.size()) && StreamClock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return open_ == static_cast<int>(threads_.size());
}

void StreamReaders::stop(const std::function<void()>& wake) {
  done_ = true;
  wake();
  join();
}

void StreamReaders::read(int port, const testing::WebUser& user,
                         std::vector<std::optional<StreamClock::time_point>>& seen) {
  httplib::Client http("127.0.0.1", port);
  // Longer than a quiet stream's silence (up to 20 s between comments):
  // the library's default would hang up after 5 s.
  http.set_read_timeout(kStreamReadTimeout);
  std::string pending;
  bool counted = false;
  http.Get("/api/events", testing::headersOf(user, false), [&](const char* data, size_t size) {
    StreamClock::time_point now = StreamClock::now();
    if (!counted) ++open_;
    counted = true;
    bytes_ += size;
    pending.append(data, size);
    size_t start = 0;
    while ((start = pending.find(kPingPrefix, start)) != std::string::npos) {
      start += sizeof(kPingPrefix) - 1;
      size_t line = std::strtoull(pending.c_str() + start, nullptr, 10);
      if (line < seen.size() && !seen[line]) seen[line] = now;
    }
    // Keeps only a tail that may hold the start of a cut marker.
    if (pending.size() > 64) pending.erase(0, pending.size() - 64);
    return !done_;
  });
  ++closed_;
}

void StreamReaders::join() {
  for (std::thread& thread : threads_) {
    if (thread.joinable()) thread.join();
  }
}

QuietStreams::~QuietStreams() {
  for (int fd : fds_) close(fd);
}

bool QuietStreams::open(int port, const testing::WebUser& user) {
  int fd = testing::connectTo(port);
  if (fd < 0) return false;
  fds_.push_back(fd);
  testing::sendAll(fd,
                   "GET /api/events HTTP/1.1\r\nHost: x\r\nCookie: " + user.cookie + "\r\n\r\n");
  std::string head;
  pollfd entry{fd, POLLIN, 0};
  while (head.find("\r\n\r\n") == std::string::npos && poll(&entry, 1, 5000) > 0) {
    char buffer[4096];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return false;
    head.append(buffer, static_cast<size_t>(n));
  }
  return head.rfind("HTTP/1.1 200 OK", 0) == 0;
}

bool QuietStreams::drain() {
  bool open = true;
  for (int fd : fds_) {
    char buffer[4096];
    ssize_t n;
    while ((n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0) {
      std::string_view text(buffer, static_cast<size_t>(n));
      for (size_t at = 0; (at = text.find(": keep-alive", at)) != std::string_view::npos; ++at) {
        ++comments_;
      }
    }
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) open = false;
  }
  return open;
}

}  // namespace gsadmin::bench
