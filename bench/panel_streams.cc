#include "panel_streams.h"

#include <httplib.h>

#include <algorithm>
#include <cstdlib>

#include "panel/stream_limits.h"

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

}  // namespace gsadmin::bench
