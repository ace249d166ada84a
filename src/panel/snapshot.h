#ifndef GSADMIN_PANEL_SNAPSHOT_H_
#define GSADMIN_PANEL_SNAPSHOT_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "events/events.h"
#include "panel/change_signal.h"

namespace gsadmin {

class SessionContext;

// What the loop counts for the metrics; the session keeps one and hands a
// copy to every snapshot.
struct LoopCounters {
  // Upper bounds, in microseconds, of the handler-time histogram's buckets
  // (the last bucket counts everything above the last bound).
  static constexpr std::array<uint64_t, 8> kHandlerBoundsUs = {50,   100,  250,   500,
                                                               1000, 5000, 25000, 100000};

  std::array<uint64_t, 256> datagramsByType{};  // by the message's first byte
  uint64_t oversizeDatagrams = 0;
  std::array<uint64_t, std::size(kEventTable)> eventsFired{};  // by Event
  // Script calls that raised an error, by the script's name.
  std::map<std::string, uint64_t> scriptErrors;
  // The acts carried out, by act and door.
  std::vector<Commands::Tally> acts;
  // The time each datagram's handling took, its Lua handlers included.
  std::array<uint64_t, kHandlerBoundsUs.size() + 1> handlerBuckets{};
  uint64_t handlerCount = 0;
  uint64_t handlerTotalUs = 0;

  // Counts one handling of `micros` microseconds.
  void countHandler(uint64_t micros);
};

// A shared (PostgreSQL) database as the metrics show it.
struct DatabaseView {
  bool connected = false;
  uint64_t queuedRecords = 0;  // the moderation's records waiting to be written
  bool operator==(const DatabaseView& other) const = default;
};

// One player as the panel shows it.
struct PlayerView {
  int id = 0;
  std::string name;
  int kills = 0;
  int deaths = 0;
  int health = 0;  // rounded, 0 for NaN
  int status = 0;
  std::optional<std::string> vehicle;  // its name, or "#id" for one unnamed
  float x = 0, y = 0, z = 0;

  // Equal but for the position.
  bool sameApartFromPosition(const PlayerView& other) const;
  bool operator==(const PlayerView& other) const = default;
};

// The server as the panel shows it.
struct ServerView {
  std::optional<std::string> name;
  std::optional<std::string> motd;
  int game = 0;
  int mode = 0;
  int maxPlayers = 0;
  bool connected = false;
  bool operator==(const ServerView& other) const = default;
};

// An immutable copy of what the loop knows, for the HTTP threads.
struct Snapshot {
  uint64_t serial = 0;   // one more for each published snapshot
  uint64_t takenMs = 0;  // on the loop's clock
  uint64_t uptimeMs = 0;
  int64_t wallSeconds = 0;  // seconds since the epoch when it was taken
  ServerView server;
  std::optional<uint64_t> lastDatagramMs;  // on the loop's clock; none before the first
  std::vector<PlayerView> players;         // by id
  LoopCounters counters;
  size_t timers = 0;
  std::string databasePath;
  // The name of each datagram's first byte (null for none), from the
  // wire's table; null when not given.
  const std::array<const char*, 256>* datagramNames = nullptr;
  std::optional<DatabaseView> database;  // none unless a shared database
  std::string version;                   // the client's
  std::string serverName;                // --server-name; empty when not given
};

// The snapshot of the session's model now (serial left 0; the session
// adds what only it knows: counters, last datagram, database). On the loop.
Snapshot takeSnapshot(SessionContext& session);

// Holds the latest snapshot: the loop publishes, any thread reads.
class SnapshotBoard {
 public:
  // `signal` is notified at each publication whose players or server
  // differ from the last: the streams wait on it, and counters alone are
  // not theirs.
  explicit SnapshotBoard(std::shared_ptr<ChangeSignal> signal) : signal_(std::move(signal)) {}

  void publish(std::shared_ptr<const Snapshot> snapshot);
  // The latest one; never null (an empty snapshot before the first).
  std::shared_ptr<const Snapshot> latest();

 private:
  std::shared_ptr<ChangeSignal> signal_;
  std::mutex mutex_;
  std::shared_ptr<const Snapshot> latest_ = std::make_shared<const Snapshot>();
};

// Decides, after each pass of the loop, whether the snapshot taken then is
// published: at once when the server or a player changed otherwise than
// by moving, at most every kPositionIntervalMs for moves alone, and at
// most every kCountersIntervalMs when only the counters moved on.
class SnapshotPublisher {
 public:
  static constexpr uint64_t kPositionIntervalMs = 100;
  static constexpr uint64_t kCountersIntervalMs = 1000;

  // The board must outlive the publisher.
  explicit SnapshotPublisher(SnapshotBoard& board) : board_(board) {}

  // Publishes `next` (taken at next.takenMs) when it is due; true when it was.
  bool offer(Snapshot next);
  // Milliseconds from `nowMs` until a held-back change is due; nothing
  // when none is held back.
  std::optional<uint64_t> msUntilDue(uint64_t nowMs) const;

 private:
  SnapshotBoard& board_;
  std::shared_ptr<const Snapshot> last_;
  uint64_t serial_ = 0;
  std::optional<uint64_t> heldBackDueMs_;
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_SNAPSHOT_H_
