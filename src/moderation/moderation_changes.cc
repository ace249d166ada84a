// What the other clients of a shared database changed: their notices, and
// a connection that comes after the database was away.

#include "console/printable.h"
#include "context/session_context.h"
#include "model/player_manager.h"
#include "moderation/moderation.h"

namespace gsadmin {
namespace {

// More names than this waiting to be read again: everything is read.
constexpr size_t kMaxStaleNames = 1000;

}  // namespace

void Moderation::databaseChanged(const DatabaseEvents& events) {
  if (events.connected) staleAll_ = true;
  for (const DatabaseNotice& notice : events.notices) {
    if (notice.channel != kChangesChannel) continue;
    std::string_view payload = notice.payload;
    if (payload == kAdminsNotice) {
      staleAdmins_ = true;
    } else if (payload.starts_with(kBansNotice)) {
      payload.remove_prefix(std::string_view(kBansNotice).size());
      if (staleBans_.size() < kMaxStaleNames) {
        staleBans_.insert(nameKey(payload));
      } else {
        staleAll_ = true;
      }
    }
  }
  if (!openWhenConnected() || !anythingStale()) return;
  // At once, not at the next tick: a ban made elsewhere should kick here
  // within the pass that brought it.
  reportStoreError(store_.flush());
  applyChanges();
}

bool Moderation::anythingStale() const {
  return staleAll_ || staleAdmins_ || !staleBans_.empty();
}

bool Moderation::openWhenConnected() {
  if (opened_) return true;
  if (openFailed_ || !store_.database().connected()) return false;
  std::string error = open();
  if (!error.empty()) {
    openFailed_ = true;
    session_.console().errorLine("gsadmin: moderation is off: " + store_.database().description() +
                                 ": " + printable(error));
    return false;
  }
  if (opened_) enforceOnline();
  return opened_;
}

bool Moderation::readHeld() {
  return sanctions_.load(now()).empty() && admins_.load().empty();
}

void Moderation::applyChanges() {
  if (!anythingStale()) return;
  // What this client queued goes first: read before it is written, the
  // database would not have it yet.
  if (store_.queued() > 0) return;
  if (staleAll_) {
    if (!readHeld()) return;  // tried again next pass
    staleAll_ = staleAdmins_ = false;
    staleBans_.clear();
    enforceOnline();
    return;
  }
  if (staleAdmins_ && admins_.load().empty()) staleAdmins_ = false;
  bool read = false;
  while (!staleBans_.empty()) {
    if (!sanctions_.loadName(*staleBans_.begin(), now()).empty()) break;
    staleBans_.erase(staleBans_.begin());
    read = true;
  }
  if (read) enforceOnline();
}

void Moderation::enforceOnline() {
  for (const auto& player : session_.players().all()) enforceBan(*player, true);
}

}  // namespace gsadmin
