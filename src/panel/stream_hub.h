#ifndef GSADMIN_PANEL_STREAM_HUB_H_
#define GSADMIN_PANEL_STREAM_HUB_H_

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "panel/change_signal.h"
#include "panel/connection.h"
#include "panel/console_ring.h"
#include "panel/snapshot.h"
#include "panel/stream_limits.h"

namespace gsadmin {

// Every open event stream of the panel, once its answer's headers are out:
// one thread owns their sockets and, woken by the ChangeSignal, encodes
// each new console line and each new server and list of players (sent
// together) once, as one chunk
// that every stream queues and writes without ever waiting on a socket
// (changes closer together than 25 ms go out as one: a send wakes every
// reader). A
// stream whose reader lets more than kMaxQueuedBytes wait is closed. While
// nothing changes the thread sleeps: the keep-alive comments of quiet
// streams are written from tick(), on the loop's passes, which the game's
// own keep-alive brings every few seconds. A stream ends (with the last
// chunk) when its login has ended or the hub stops.
class StreamHub {
 public:
  // Console lines a new stream starts with.
  static constexpr size_t kBacklogLines = 100;
  // A stream quiet this long gets a comment at the next tick: it keeps
  // proxies and browsers from closing it, and finds readers that have gone.
  static constexpr uint64_t kKeepAliveMs = 15000;
  static constexpr size_t kMaxQueuedBytes = 1024 * 1024;

  // What the hub has done, for tests and the curious.
  struct Counts {
    size_t open = 0;
    uint64_t linesEncoded = 0;
    uint64_t playersEncoded = 0;
    uint64_t keepAlives = 0;
    uint64_t slowClosed = 0;  // past kMaxQueuedBytes
  };

  // `loggedIn` says whether a login's token is still valid; it is called
  // with the hub's lock held and must not call back. All must outlive the hub.
  StreamHub(ConsoleRing& ring, SnapshotBoard& board, ChangeSignal& signal,
            std::function<bool(const std::string& token)> loggedIn);
  ~StreamHub();  // stop()
  StreamHub(const StreamHub&) = delete;
  StreamHub& operator=(const StreamHub&) = delete;

  // Starts the thread; false, with the reason in *error, when the system
  // refuses.
  bool start(std::string* error);
  // Takes a stream whose headers are written, from any thread: it gets the
  // last kBacklogLines console lines, the server and the players, then
  // every change.
  // `place` is given back when the stream ends. After stop() the
  // connection is closed at once.
  void adopt(std::unique_ptr<Connection> connection, std::string token,
             std::unique_ptr<StreamLimits::Place> place);
  // On the loop, at each pass, `nowMs` on its clock: writes the comment to
  // the streams quiet for kKeepAliveMs (without waking the thread) and ends
  // those whose login has ended. Cheap when nothing is due.
  void tick(uint64_t nowMs);
  // Ends every stream (last chunk, one try) and joins the thread;
  // idempotent. Stops the signal.
  void stop();
  Counts counts();

 private:
  struct Stream {
    std::unique_ptr<Connection> connection;
    std::string token;
    std::unique_ptr<StreamLimits::Place> place;
    // Chunks to write, shared with the other streams; `offset` into the first.
    std::deque<std::shared_ptr<const std::string>> queue;
    size_t offset = 0;
    size_t queued = 0;  // bytes
    bool watchingOut = false;
    // Something was queued since the last tick; else quiet since then.
    bool sentSinceTick = true;
    uint64_t quietSinceMs = 0;
  };
  enum class Flushed { kDone, kWaiting, kFailed };

  void run();
  void admitArrivals();
  // Encodes what changed since the last look and queues it to every stream.
  void advance();
  void readUpTo(uint64_t lastSeq);
  void service(uint64_t id, uint32_t events);
  // Queues `chunk`; false when the stream must close.
  bool queue(Stream& stream, const std::shared_ptr<const std::string>& chunk);
  Flushed flush(uint64_t id, Stream& stream);
  // Queues and flushes `chunk` to every stream, closing those that fail.
  void fanOut(const std::shared_ptr<const std::string>& chunk);
  // Ends the streams whose login has ended.
  void endLoggedOut();
  void end(uint64_t id);
  void watch(uint64_t id, Stream& stream, bool out);
  void close(uint64_t id);
  uint64_t nextDueMs() const;

  ConsoleRing& ring_;
  SnapshotBoard& board_;
  ChangeSignal& signal_;
  std::function<bool(const std::string&)> loggedIn_;
  const std::shared_ptr<const std::string> keepAlive_;
  const std::shared_ptr<const std::string> end_;
  int epoll_ = -1;
  std::thread thread_;

  std::mutex mutex_;  // guards everything below
  bool stopped_ = false;
  std::vector<Stream> arrivals_;
  std::unordered_map<uint64_t, Stream> streams_;
  uint64_t nextId_ = 1;
  uint64_t lineSeq_ = 0;  // the last console line encoded
  // The last kBacklogLines lines' texts, for new streams.
  std::deque<std::pair<uint64_t, std::string>> recent_;
  std::shared_ptr<const Snapshot> lastPlayers_;
  std::string playersText_;  // the server and players events of lastPlayers_
  uint64_t lastTickMs_ = 0;
  Counts counts_;

  // Read by tick() without the lock: whether it may have work.
  std::atomic<bool> sentSinceTick_{false};
  std::atomic<uint64_t> dueMs_{UINT64_MAX};
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_STREAM_HUB_H_
