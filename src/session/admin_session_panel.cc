// The session's side of the web panel: what the loop publishes for it.

#include "session/admin_session.h"

namespace gsadmin {

Snapshot AdminSession::snapshot() {
  Snapshot snapshot = takeSnapshot(*this);
  snapshot.lastDatagramMs = lastDatagramMs_;
  snapshot.counters = counters_;
  snapshot.counters.oversizeDatagrams = oversizeDatagrams_;
  snapshot.counters.eventsFired = events_->firedCounts();
  snapshot.counters.scriptErrors = scripts_->errorCount();
  snapshot.databasePath = database_->description();
  return snapshot;
}

void AdminSession::servePanel() {
  if (!panel_ || !panel_->running()) return;
  panel_->runPending();
  panel_->offer(snapshot());
}

}  // namespace gsadmin
