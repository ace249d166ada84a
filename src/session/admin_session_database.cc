// The session's side of its database: the moderation's tables, the
// connection to a database server and what arrives on it.

#include "console/printable.h"
#include "session/admin_session.h"

namespace gsadmin {
namespace {

// How long the start waits for a database server before it goes on
// without one (and keeps trying in the background).
constexpr uint64_t kFirstConnectionWaitMs = 5000;

}  // namespace

void AdminSession::openModeration() {
  if (!moderation_) return;
  std::string error = moderation_->open();
  if (error.empty()) return;
  console_->errorLine("gsadmin: moderation is off: " + database_->description() + ": " +
                      printable(error));
  moderation_.reset();
  gameWords_ = makeGameWords();  // without the moderation's words
}

void AdminSession::connectDatabase() {
  if (database_->awaitConnection(kFirstConnectionWaitMs)) return;
  // The moderation opens later in start(); it learns of the connection from
  // the database itself.
  reportDatabaseEvents(database_->service(clock_.nowMs()));
}

void AdminSession::serviceDatabase() {
  DatabaseEvents events = database_->service(clock_.nowMs());
  reportDatabaseEvents(events);
  if (moderation_) moderation_->databaseChanged(events);
  if (fleet_) fleet_->noticed(events);
}

void AdminSession::reportDatabaseEvents(const DatabaseEvents& events) {
  if (events.lost) {
    console_->errorLine("gsadmin: database connection lost: " + printable(*events.lost));
    databaseLost_ = true;
  }
  // Also after a start that found no server: its loss was said then.
  if (events.connected && databaseLost_ && database_->connected()) {
    console_->errorLine("gsadmin: database connection is back");
    databaseLost_ = false;
  }
}

}  // namespace gsadmin
