#ifndef GSADMIN_BENCH_PANEL_STREAMS_H_
#define GSADMIN_BENCH_PANEL_STREAMS_H_

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "live_client.h"
#include "support/client_process.h"
#include "support/panel_client.h"

namespace gsadmin::bench {

using StreamClock = std::chrono::steady_clock;

// The player every panel bench lists, and the chat text whose number the
// stream readers note.
inline constexpr uint8_t kPanelPlayer = 1;
inline constexpr char kPingPrefix[] = "\"text\":\"Bob: ping ";

// A real client serving the panel on a port of its choosing, with the
// accounts of testing::writeUsers, logged in to its peer with Bob listed.
struct PanelClient {
  testing::TempDir dir;
  std::unique_ptr<LiveClient> client;
  int port = 0;
  std::optional<testing::WebUser> user;

  // `options` go beside the panel's; `directory` is where the client runs
  // (the working directory of a fresh one when none); `program` is what runs.
  bool start(const std::optional<std::string>& script, std::vector<std::string> options = {},
             const std::optional<std::string>& directory = std::nullopt,
             const std::string& program = testing::ClientProcess::defaultBinary());

  // Logins enough for `streams` event streams within the caps per login
  // and per account: alice's, then mia's; empty when one fails.
  std::vector<testing::WebUser> streamLogins(int streams);
};

// Event streams, each read on a thread of its own; each notes when it first
// saw the console line "Bob: ping N" for N below `lines`.
class StreamReaders {
 public:
  // Stream i is read as logins[i / kMaxStreamsPerSession].
  StreamReaders(int port, const std::vector<testing::WebUser>& logins, int streams, int lines);
  ~StreamReaders() { join(); }

  // Whether every stream has had its first bytes within `timeoutMs`.
  bool waitOpen(int timeoutMs);
  // Ends the streams: each reader hangs up at the next event `wake` causes.
  void stop(const std::function<void()>& wake);
  // When stream `stream` saw line `line`; nothing if it never did.
  std::optional<StreamClock::time_point> seen(size_t stream, size_t line) const {
    return seen_[stream][line];
  }
  // Bytes read so far over all streams, and streams still open.
  uint64_t bytes() const { return bytes_; }
  int stillOpen() const { return open_ - closed_; }

 private:
  void read(int port, const testing::WebUser& user,
            std::vector<std::optional<StreamClock::time_point>>& seen);
  void join();

  std::vector<std::vector<std::optional<StreamClock::time_point>>> seen_;
  std::vector<std::thread> threads_;
  std::atomic<int> open_{0};
  std::atomic<int> closed_{0};
  std::atomic<uint64_t> bytes_{0};
  std::atomic<bool> done_{false};
};

// Event streams on sockets read only when the caller looks, so that no
// thread here waits on them: a reader elsewhere would not take the
// client's CPU by waking when a comment comes.
class QuietStreams {
 public:
  QuietStreams() = default;
  ~QuietStreams();
  QuietStreams(const QuietStreams&) = delete;
  QuietStreams& operator=(const QuietStreams&) = delete;

  // Opens a stream of `user`; false unless it answered 200.
  bool open(int port, const testing::WebUser& user);
  // Reads what came, without waiting; false when a stream has ended.
  bool drain();
  // Keep-alive comments read so far.
  uint64_t comments() const { return comments_; }

 private:
  std::vector<int> fds_;
  uint64_t comments_ = 0;
};

double percentile(const std::vector<double>& sorted, double fraction);

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_PANEL_STREAMS_H_
