#ifndef GSADMIN_MODERATION_SANCTIONS_H_
#define GSADMIN_MODERATION_SANCTIONS_H_

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "moderation/ban_index.h"
#include "moderation/ban_loader.h"
#include "moderation/name_skeleton.h"
#include "moderation/record_search.h"
#include "moderation/record_store.h"
#include "moderation/records.h"

namespace gsadmin {

// Warnings, kicks, bans and unbans, notes and the audit: the gs_sanctions,
// gs_notes and gs_audit tables. The active bans are held in memory in
// compact form (BanIndex, some 25 bytes a ban), so that the check at a
// join asks the database only when a ban may hold: the records read by
// name key or by skeleton then decide, and say the reason. The index is
// read by a thread of its own (BanLoader) while the client logs in and
// runs; until it is there every check asks the database, by the indexes
// on name key and skeleton. Only records; the actions that send, print
// and fire are Moderation's. The store must outlive this object. Loop
// thread only, as the store.
class Sanctions {
 public:
  // Reasons and notes are kept up to this many bytes (cut at a character's
  // boundary): they come from players and scripts. Names are cut as
  // record_store.h says.
  static constexpr size_t kMaxReasonBytes = 256;
  // A reading of the bans that failed is tried again this much later.
  static constexpr int64_t kRetrySeconds = 30;
  // While the bans are read, the loop looks whether they are done this
  // often (nextWorkMs()).
  static constexpr uint64_t kLoadPollMs = 50;
  // The most bans read (or written) in this run kept whole, so that they
  // still hold while a shared database is away; the oldest go first.
  static constexpr size_t kMaxKnownBans = 4096;

  explicit Sanctions(RecordStore& store, BanIndex::Hash hash = &BanIndex::fingerprint);
  ~Sanctions();

  // Starts reading the active bans into memory anew, on a thread with a
  // read-only connection of its own; a database without one (none is made)
  // is read here at once. What was held is dropped: until the new index is
  // there the checks ask the database. Empty, or the database's error
  // (only when read here).
  std::string load(int64_t now);
  // Once a pass of the loop: takes the index once read, tries a failed
  // reading again after kRetrySeconds, and prunes ended bans a little at
  // a time. The error of a reading that failed, said once until one
  // succeeds; empty otherwise.
  std::string poll(int64_t now);
  // True while the index is being read; then poll() has work every
  // kLoadPollMs.
  bool loading() const { return loader_ != nullptr; }
  // Waits for the reading under way, then poll()s: for tests and benches.
  std::string awaitLoaded(int64_t now);
  // True once the index is there (and not read anew).
  bool indexed() const { return index_.has_value(); }
  // The bytes the index holds; 0 while it is read.
  size_t indexBytes() const;
  // Reads the active bans on `name` (any case) again: another client of a
  // shared database changed them. Empty, or the database's error.
  std::string loadName(std::string_view name, int64_t now);

  // Records one sanction of `kind` on `name` at `now`. For a ban `until`
  // is when it ends (absent: never); for a warning when it expires. Bans
  // hold at once (the queued write is looked at until it is written), and
  // the other clients of a shared database are told.
  void record(std::string_view name, std::string_view kind, int64_t seconds,
              std::optional<int64_t> until, std::string_view reason, std::string_view actor,
              int64_t now);
  // The number of the sanction record() made last: its row's id, shared by
  // every client of the database. Writes what is queued to learn it; 0
  // when it cannot be written yet (a database away, a script's transaction
  // open). The bans then made hold from memory as they do without it.
  int64_t lastNumber();
  // Lifts every active ban on each of `names` (any case), records one
  // "unban" for the first, and returns how many bans were lifted. Records
  // nothing when none was.
  size_t lift(const std::vector<std::string>& names, std::string_view reason,
              std::string_view actor, int64_t now);

  // The ban in force on `name` (any case) at `now`, or none. The longest
  // wins where several hold. A name without one of its own matches the
  // bans on names that look alike (NameSkeletons): the record's name says
  // which. Reads the database only when the index says a ban may hold, or
  // while the index is read; while it cannot be read, the bans read or
  // written in this run (kMaxKnownBans) still hold.
  std::optional<SanctionRecord> activeBan(std::string_view name, int64_t now);
  // Every ban in force at `now`, the soonest to end first (permanent last),
  // the longest of each name; read from the database. Nothing when it
  // could not be read.
  std::optional<std::vector<SanctionRecord>> activeBans(int64_t now);
  // The warnings of `name` (any case) not yet expired at `now`, oldest first.
  // While the database is away: those read for the name the last time it
  // answered, and those waiting to be written, so that the thresholds
  // still act.
  std::vector<SanctionRecord> activeWarnings(std::string_view name, int64_t now);
  // Every sanction of `name` (any case), newest first, at most `count`.
  std::vector<SanctionRecord> sanctionsOf(std::string_view name, size_t count);

  void addNote(std::string_view name, std::string_view actor, std::string_view text, int64_t now);
  std::vector<NoteRecord> notesOf(std::string_view name, size_t count);

  // One line of the audit; every action writes one. `sanction`: the number
  // of the sanction it is about.
  void audit(std::string_view actor, std::string_view action, std::string_view target,
             std::string_view detail, int64_t now, std::optional<int64_t> sanction = std::nullopt);
  // A line of the audit about the sanction record() made last: its number
  // is found when the line is written, after the sanction's row, so that
  // it is there even when the rows wait for a database that is away.
  void auditLast(std::string_view actor, std::string_view action, std::string_view target,
                 std::string_view detail, int64_t now);
  // The last `count` lines of the audit, newest first.
  std::vector<AuditRecord> lastAudit(size_t count);

  // sanctions_edits.cc: the ban (tempban or ban) numbered `id`, lifted
  // and ended ones too; none when there is none or it cannot be read.
  std::optional<SanctionRecord> banById(int64_t id);
  // The sanction of any kind numbered `id`; none when there is none or it
  // cannot be read.
  std::optional<SanctionRecord> sanctionById(int64_t id);
  // Gives `ban` (read by banById) the reason `reason`.
  void reword(const SanctionRecord& ban, std::string_view reason);
  // Makes `ban` a tempban of `seconds` from when it was made: longer or
  // shorter, or ended at once when that moment is past.
  void relength(const SanctionRecord& ban, int64_t seconds);

  // sanctions_search.cc: a page of the bans (tempbans and bans, each row
  // alone, lifted and ended ones too) or of the audit that match
  // `filter`, newest first; nothing when the database could not be read.
  // `now` tells the bans in force from the ended.
  std::optional<RecordPage<SanctionRecord>> searchBans(const BanFilter& filter,
                                                       const PageRequest& request, int64_t now);
  std::optional<RecordPage<AuditRecord>> searchAudit(const AuditFilter& filter,
                                                     const PageRequest& request);

 private:
  // A ban this client recorded whose write still waits in the store's
  // queue: the database does not have it yet.
  struct Unwritten {
    uint64_t ticket = 0;
    std::string key;
    std::string skeleton;
    SanctionRecord ban;
  };
  // A lift of the bans on `key` whose write still waits: the database's
  // rows on the key are lifted already, as far as this client goes.
  struct UnwrittenLift {
    uint64_t ticket = 0;
    std::string key;
  };
  // A ban that arrived while the index was read, raised in it once there.
  struct Raised {
    std::string key;
    std::string skeleton;
    std::optional<int64_t> until;
  };
  enum class By { kKey, kSkeleton };

  // Whether a ban on `text` may hold at `now`: the index's hint, or true
  // while it is read.
  bool mayHold(By by, const std::string& text, int64_t now) const;
  // The bans in force on a name key or skeleton, the database's (or, when
  // it cannot be read, the known ones) and the unwritten ones.
  std::optional<std::vector<SanctionRecord>> bansBy(By by, const std::string& text, int64_t now);
  void raise(const std::string& key, const std::string& skeleton, std::optional<int64_t> until);
  void install(BanIndex index);
  void startLoader(int64_t now);
  // Forgets the unwritten bans and lifts that the store wrote or dropped;
  // the bans written are known.
  void forgetWritten();
  // Keeps `ban` (on `key`) among the known bans; forgetKnown() drops those
  // on `key`.
  void remember(Unwritten ban);
  void forgetKnown(const std::string& key);
  // The database's bans by name key or skeleton, known from then on;
  // nothing when they could not be read.
  std::optional<std::vector<SanctionRecord>> readBans(By by, const std::string& text, int64_t now);
  // Drops from `bans` (the database's) those an unwritten lift ended, and
  // adds the unwritten bans that `matches`.
  template <typename Matches>
  void withUnwritten(std::vector<SanctionRecord>& bans, int64_t now, Matches matches);

  RecordStore& store_;
  BanIndex::Hash hash_;
  NameSkeletons skeletons_;
  std::optional<BanIndex> index_;
  std::unique_ptr<BanLoader> loader_;
  std::vector<Raised> raised_;
  std::vector<Unwritten> unwritten_;
  std::vector<UnwrittenLift> unwrittenLifts_;
  std::deque<Unwritten> known_;
  // The warnings each name had when last read (kMaxKnownBans names).
  std::unordered_map<std::string, std::vector<SanctionRecord>> lastWarnings_;
  // What names the sanction record() made last, for lastNumber() and
  // auditLast(): its name key, kind and time, and its write's ticket.
  struct Recorded {
    std::string key;
    std::string kind;
    int64_t time = 0;
    uint64_t ticket = 0;
  };
  std::optional<Recorded> last_;
  std::optional<int64_t> retryAt_;
  bool errorSaid_ = false;
  int64_t nextPrune_ = 0;
};

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_SANCTIONS_H_
