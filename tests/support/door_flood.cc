#include "support/door_flood.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>

#include "support/raw_socket.h"

namespace gsadmin::testing {
namespace {

using std::chrono::milliseconds;

// A pause after a refusal, so that a refused attacker does not spin.
constexpr milliseconds kBackOff{20};
// New idle connections opened per round of the idle attacker.
constexpr size_t kIdleOpensPerRound = 100;

// The loopback address of a rotating `counter`: 127.1.x.y, never .0.
std::string loopbackSource(uint64_t counter) {
  return "127.1." + std::to_string(counter / 250 % 250 + 1) + "." +
         std::to_string(counter % 250 + 1);
}

// Sends all of `text`; false when the peer is gone or `timeoutMs` passed.
bool sendWithin(int fd, const std::string& text, int timeoutMs) {
  size_t sent = 0;
  while (sent < text.size()) {
    ssize_t n = send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    pollfd entry{fd, POLLOUT, 0};
    if (poll(&entry, 1, timeoutMs) != 1) return false;
  }
  return true;
}

// The status of the answer's first line, read within `timeoutMs`; -1
// without one.
int readStatus(int fd, int timeoutMs) {
  std::string head;
  auto end = std::chrono::steady_clock::now() + milliseconds(timeoutMs);
  while (head.find("\r\n") == std::string::npos && head.size() < 4096) {
    auto left = std::chrono::duration_cast<milliseconds>(end - std::chrono::steady_clock::now());
    pollfd entry{fd, POLLIN, 0};
    if (left.count() <= 0 || poll(&entry, 1, static_cast<int>(left.count())) != 1) return -1;
    char buffer[512];
    ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return -1;
    head.append(buffer, static_cast<size_t>(n));
  }
  if (!head.starts_with("HTTP/1.") || head.size() < 12) return -1;
  return std::atoi(head.c_str() + 9);
}

void raiseDescriptorLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
}

}  // namespace

std::string requestText(const std::string& method, const std::string& path,
                        const std::string& headers, const std::string& body) {
  std::string text = method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers;
  if (!body.empty()) {
    text +=
        "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
  }
  return text + "Connection: close\r\n\r\n" + body;
}

int unusedLoopbackPort() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  if (fd >= 0) close(fd);
  return port;
}

bool addChatLines(const std::string& path, int rows) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return false;
  }
  sqlite3_busy_timeout(db, 5000);
  std::string fill =
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
      std::to_string(rows) +
      ") INSERT INTO gs_chat (time, name_key, name, text) "
      "SELECT strftime('%s', 'now') - i % 86000, 'p' || (i % 500), 'P' || (i % 500), "
      "'line ' || i FROM n";
  bool done = sqlite3_exec(db, fill.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return done;
}

int rawRequest(int port, const std::string& request, int timeoutMs, const std::string& source) {
  int fd = connectFrom(port, source, timeoutMs);
  if (fd < 0) return -1;
  int status = sendWithin(fd, request, timeoutMs) ? readStatus(fd, timeoutMs) : -1;
  close(fd);
  return status;
}

DoorFlood::DoorFlood(DoorFloodPlan plan) : plan_(std::move(plan)) {}

DoorFlood::~DoorFlood() {
  stop();
}

void DoorFlood::start() {
  raiseDescriptorLimit();
  if (plan_.idleConnections > 0) threads_.emplace_back([this] { holdIdle(); });
  for (int i = 0; i < plan_.headerFloods; ++i) {
    threads_.emplace_back([this] { floodHeaders(plan_.panelPort); });
    if (plan_.metricsPort != 0 && i % 4 == 0) {
      threads_.emplace_back([this] { floodHeaders(plan_.metricsPort); });
    }
  }
  for (int i = 0; i < plan_.wrongLogins; ++i)
    threads_.emplace_back([this, i] { guessPasswords(i); });
  for (int i = 0; i < plan_.chartReaders; ++i) threads_.emplace_back([this] { readCharts(); });
  for (int i = 0; i < plan_.streams; ++i) threads_.emplace_back([this] { holdStream(); });
}

void DoorFlood::stop() {
  stopping_ = true;
  for (std::thread& thread : threads_) {
    if (thread.joinable()) thread.join();
  }
  threads_.clear();
}

void DoorFlood::holdIdle() {
  std::vector<pollfd> open;
  uint64_t opened = 0;
  while (!stopping_) {
    for (size_t n = 0; n < kIdleOpensPerRound && open.size() < size_t(plan_.idleConnections); ++n) {
      bool toMetrics = plan_.metricsPort != 0 && opened % 10 == 0;
      int fd = connectFrom(toMetrics ? plan_.metricsPort : plan_.panelPort,
                           loopbackSource(opened++), 100);
      if (fd < 0) break;
      open.push_back({fd, POLLIN, 0});
    }
    poll(open.data(), open.size(), 50);
    // A connection the client answered or closed is opened again next round.
    std::erase_if(open, [](const pollfd& entry) {
      if (entry.revents == 0) return false;
      close(entry.fd);
      return true;
    });
  }
  for (const pollfd& entry : open) close(entry.fd);
}

void DoorFlood::floodHeaders(int port) {
  std::string lines;
  while (lines.size() < 64 * 1024)
    lines += "X-Flood-" + std::to_string(lines.size()) + ": aaaa\r\n";
  while (!stopping_) {
    int fd = connectFrom(port, std::string(), 1000);
    if (fd < 0) {
      std::this_thread::sleep_for(kBackOff);
      continue;
    }
    bool alive = sendWithin(fd, "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n", 1000);
    while (alive && !stopping_) {
      pollfd entry{fd, POLLIN, 0};
      alive = poll(&entry, 1, 0) == 0 && sendWithin(fd, lines, 100);
    }
    if (!alive) counts_.headerFloodsEnded++;
    close(fd);
  }
}

void DoorFlood::guessPasswords(int index) {
  std::string body = nlohmann::json{{"name", plan_.loginAccount}, {"password", "wrong"}}.dump();
  std::string request = requestText("POST", "/api/login", std::string(), body);
  for (uint64_t tries = 0; !stopping_; ++tries) {
    int status = rawRequest(plan_.panelPort, request, 5000,
                            loopbackSource(static_cast<uint64_t>(index) * 1000 + tries));
    if (status == 401) {
      counts_.loginsRefused++;
    } else if (status == 429) {
      counts_.loginsThrottled++;
      std::this_thread::sleep_for(kBackOff);
    } else {
      counts_.loginsOther++;
      std::this_thread::sleep_for(kBackOff);
    }
  }
}

void DoorFlood::readCharts() {
  std::string request =
      requestText("GET", "/api/charts?range=day", "Cookie: " + plan_.reader.cookie + "\r\n");
  while (!stopping_) {
    if (rawRequest(plan_.panelPort, request, 10000) == 200) {
      counts_.chartAnswers++;
    } else {
      counts_.chartRefused++;
      std::this_thread::sleep_for(kBackOff);
    }
  }
}

void DoorFlood::holdStream() {
  std::string request =
      requestText("GET", "/api/events", "Cookie: " + plan_.reader.cookie + "\r\n");
  while (!stopping_) {
    int fd = connectFrom(plan_.panelPort, std::string(), 1000);
    int status = fd >= 0 && sendWithin(fd, request, 1000) ? readStatus(fd, 5000) : -1;
    if (status == 200) {
      counts_.streamsOpened++;
      uint64_t open = ++counts_.streamsOpen;
      uint64_t peak = counts_.streamsPeak.load();
      while (open > peak && !counts_.streamsPeak.compare_exchange_weak(peak, open)) {
      }
      char buffer[4096];
      pollfd entry{fd, POLLIN, 0};
      while (!stopping_) {
        int ready = poll(&entry, 1, 100);
        if (ready == 1 && recv(fd, buffer, sizeof buffer, 0) <= 0) break;
      }
      counts_.streamsOpen--;
    } else {
      counts_.streamsRefused++;
      std::this_thread::sleep_for(milliseconds(200));
    }
    if (fd >= 0) close(fd);
  }
}

}  // namespace gsadmin::testing
