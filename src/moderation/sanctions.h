#ifndef GSADMIN_MODERATION_SANCTIONS_H_
#define GSADMIN_MODERATION_SANCTIONS_H_

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "moderation/name_skeleton.h"
#include "moderation/record_store.h"
#include "moderation/records.h"

namespace gsadmin {

// Warnings, kicks, bans and unbans, notes and the audit: the gs_sanctions,
// gs_notes and gs_audit tables, with the active bans also held in memory
// so that the check at every join never waits for the disk. Only records;
// the actions that send, print and fire are Moderation's. The store must
// outlive this object.
class Sanctions {
 public:
  // Reasons and notes are kept up to this many bytes (cut at a character's
  // boundary): they come from players and scripts. Names are cut as
  // record_store.h says.
  static constexpr size_t kMaxReasonBytes = 256;

  explicit Sanctions(RecordStore& store) : store_(store) {}

  // Reads the active bans into memory. Empty, or the database's error.
  std::string load(int64_t now);
  // Reads the active bans on `name` (any case) again, in place of those
  // held: another client of a shared database changed them. Empty, or the
  // database's error (nothing changed then).
  std::string loadName(std::string_view name, int64_t now);

  // Records one sanction of `kind` on `name` at `now`. For a ban `until`
  // is when it ends (absent: never); for a warning when it expires. Bans
  // enter the in-memory list at once, and the other clients of a shared
  // database are told.
  void record(std::string_view name, std::string_view kind, int64_t seconds,
              std::optional<int64_t> until, std::string_view reason, std::string_view actor,
              int64_t now);
  // Lifts every active ban on each of `names` (any case), records one
  // "unban" for the first, and returns how many bans were lifted. Records
  // nothing when none was.
  size_t lift(const std::vector<std::string>& names, std::string_view reason,
              std::string_view actor, int64_t now);

  // The ban in force on `name` (any case) at `now`, or none. The longest
  // wins where several hold. A name without one of its own matches the
  // bans on names that look alike (NameSkeletons): the record's name says
  // which. Never touches the database.
  std::optional<SanctionRecord> activeBan(std::string_view name, int64_t now) const;
  // Every ban in force at `now`, the soonest to end first (permanent last).
  std::vector<SanctionRecord> activeBans(int64_t now) const;
  // The warnings of `name` (any case) not yet expired at `now`, oldest first.
  std::vector<SanctionRecord> activeWarnings(std::string_view name, int64_t now);
  // Every sanction of `name` (any case), newest first, at most `count`.
  std::vector<SanctionRecord> sanctionsOf(std::string_view name, size_t count);

  void addNote(std::string_view name, std::string_view actor, std::string_view text, int64_t now);
  std::vector<NoteRecord> notesOf(std::string_view name, size_t count);

  // One line of the audit; every action writes one.
  void audit(std::string_view actor, std::string_view action, std::string_view target,
             std::string_view detail, int64_t now);
  // The last `count` lines of the audit, newest first.
  std::vector<AuditRecord> lastAudit(size_t count);

 private:
  // Drops the bans that ended before `now`, at most once a minute.
  void prune(int64_t now);
  // The longest ban held under the name key `key` at `now`, or null.
  const SanctionRecord* holdingOn(const std::string& key, int64_t now) const;
  // Enters or takes out `key` in the index by skeleton, as bans_ gains or
  // loses it.
  void indexKey(const std::string& key);
  void unindexKey(const std::string& key);

  RecordStore& store_;
  // The active bans by name key: every one, so that lift() counts them all
  // and a shorter ban still holds once a longer one is lifted.
  std::unordered_map<std::string, std::vector<SanctionRecord>> bans_;
  // The keys of bans_ by their skeleton. A key's skeleton is its name's.
  NameSkeletons skeletons_;
  std::unordered_map<std::string, std::set<std::string>> keysBySkeleton_;
  int64_t nextPrune_ = 0;
};

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_SANCTIONS_H_
