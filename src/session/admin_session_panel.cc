// The session's side of the web panel: what the loop publishes for it.

#include "protocol/wire.h"
#include "session/admin_session.h"

namespace gsadmin {

Snapshot AdminSession::snapshot() {
  Snapshot snapshot = takeSnapshot(*this);
  snapshot.lastDatagramMs = lastDatagramMs_;
  snapshot.counters = counters_;
  snapshot.counters.oversizeDatagrams = oversizeDatagrams_;
  snapshot.counters.eventsFired = events_->firedCounts();
  snapshot.counters.scriptErrors = scripts_->errorsByScript();
  snapshot.counters.acts = commands().tallies();
  snapshot.databasePath = database_->description();
  snapshot.datagramNames = &wire::kMessageNamesById;
  if (database_->dialect() == SqlDialect::kPostgres) {
    snapshot.database = DatabaseView{database_->connected(),
                                     moderation_ ? moderation_->store().queued() : uint64_t{0}};
  }
  snapshot.version = settings_.version;
  snapshot.serverName = settings_.moderation.serverName;
  return snapshot;
}

void AdminSession::servePanel() {
  if (!panel_) return;
  // The public listener's work runs without snapshots, which only the
  // panel and the metrics read.
  panel_->runPending();
  if (!panel_->running()) return;
  uint64_t now = clock_.nowMs();
  if (lastSnapshotMs_ && now < *lastSnapshotMs_ + kSnapshotIntervalMs) {
    snapshotDueMs_ = *lastSnapshotMs_ + kSnapshotIntervalMs;
    return;
  }
  lastSnapshotMs_ = now;
  snapshotDueMs_.reset();
  panel_->offer(snapshot());
}

}  // namespace gsadmin
