#include "panel/snapshot.h"

#include <algorithm>
#include <cmath>

#include "context/session_context.h"
#include "model/vehicle.h"

namespace gsadmin {
namespace {

int roundedHealth(float health) {
  if (!std::isfinite(health)) return 0;
  if (health > 1e6f) return 1000000;
  if (health < -1e6f) return -1000000;
  return static_cast<int>(std::lround(health));
}

PlayerView viewOf(const Player& player) {
  PlayerView view;
  view.id = player.id;
  view.name = player.name;
  view.kills = player.kills;
  view.deaths = player.deaths;
  view.health = roundedHealth(player.health);
  view.status = player.status;
  if (player.vehicle != nullptr) {
    view.vehicle = player.vehicle->name.value_or("#" + std::to_string(player.vehicle->id));
  }
  view.x = player.position.x;
  view.y = player.position.y;
  view.z = player.position.z;
  return view;
}

// Whether the players differ otherwise than in their positions.
bool playersChanged(const std::vector<PlayerView>& a, const std::vector<PlayerView>& b) {
  if (a.size() != b.size()) return true;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!a[i].sameApartFromPosition(b[i])) return true;
  }
  return false;
}

bool countersChanged(const Snapshot& a, const Snapshot& b) {
  return a.lastDatagramMs != b.lastDatagramMs ||
         a.counters.datagramsByType != b.counters.datagramsByType ||
         a.counters.eventsFired != b.counters.eventsFired ||
         a.counters.scriptErrors != b.counters.scriptErrors || a.counters.acts != b.counters.acts ||
         a.timers != b.timers || a.database != b.database;
}

}  // namespace

void LoopCounters::countHandler(uint64_t micros) {
  size_t bucket = 0;
  while (bucket < kHandlerBoundsUs.size() && micros > kHandlerBoundsUs[bucket]) ++bucket;
  ++handlerBuckets[bucket];
  ++handlerCount;
  handlerTotalUs += micros;
}

bool PlayerView::sameApartFromPosition(const PlayerView& other) const {
  return id == other.id && name == other.name && kills == other.kills && deaths == other.deaths &&
         health == other.health && status == other.status && vehicle == other.vehicle;
}

Snapshot takeSnapshot(SessionContext& session) {
  Snapshot snapshot;
  snapshot.takenMs = session.clock().nowMs();
  snapshot.uptimeMs = session.uptimeMs();
  snapshot.wallSeconds = session.clock().wallSeconds();
  const ServerInfo& info = session.serverInfo();
  snapshot.server.name = info.name;
  snapshot.server.motd = info.motd;
  snapshot.server.game = info.gameCode;
  snapshot.server.mode = info.gameMode;
  snapshot.server.maxPlayers = info.maxPlayers;
  snapshot.server.connected = session.connected();
  for (const auto& player : session.players().all()) snapshot.players.push_back(viewOf(*player));
  std::sort(snapshot.players.begin(), snapshot.players.end(),
            [](const PlayerView& a, const PlayerView& b) { return a.id < b.id; });
  snapshot.timers = session.timers().size();
  return snapshot;
}

void SnapshotBoard::publish(std::shared_ptr<const Snapshot> snapshot) {
  bool changed = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    changed = latest_->players != snapshot->players || !(latest_->server == snapshot->server);
    latest_ = std::move(snapshot);
  }
  // The streams send the server and the players (and console lines, which
  // notify on their own): a snapshot of new counters alone wakes none of
  // them.
  if (changed) signal_->notify();
}

std::shared_ptr<const Snapshot> SnapshotBoard::latest() {
  std::lock_guard<std::mutex> lock(mutex_);
  return latest_;
}

bool SnapshotPublisher::offer(Snapshot next) {
  uint64_t now = next.takenMs;
  bool due = last_ == nullptr || !(next.server == last_->server) ||
             playersChanged(next.players, last_->players);
  if (!due) {
    std::optional<uint64_t> dueMs;
    if (next.players != last_->players) {
      dueMs = last_->takenMs + kPositionIntervalMs;
    } else if (countersChanged(next, *last_)) {
      dueMs = last_->takenMs + kCountersIntervalMs;
    }
    if (!dueMs) {
      heldBackDueMs_.reset();
      return false;
    }
    if (now < *dueMs) {
      heldBackDueMs_ = dueMs;
      return false;
    }
  }
  next.serial = ++serial_;
  last_ = std::make_shared<const Snapshot>(std::move(next));
  heldBackDueMs_.reset();
  board_.publish(last_);
  return true;
}

std::optional<uint64_t> SnapshotPublisher::msUntilDue(uint64_t nowMs) const {
  if (!heldBackDueMs_) return std::nullopt;
  return *heldBackDueMs_ > nowMs ? *heldBackDueMs_ - nowMs : 0;
}

}  // namespace gsadmin
