#ifndef GSADMIN_MODERATION_APPEALS_H_
#define GSADMIN_MODERATION_APPEALS_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "moderation/record_store.h"

namespace gsadmin {

// The states of an appeal, as stored and as the public route says them.
inline constexpr char kAppealOpen[] = "open";
inline constexpr char kAppealAccepted[] = "accepted";
inline constexpr char kAppealRejected[] = "rejected";

// A banned player's appeal of a ban, as gs_appeals holds it (the token
// only as its hash). Times are seconds since the epoch.
struct AppealRecord {
  int64_t id = 0;
  int64_t time = 0;
  int64_t sanction = 0;  // the ban's number
  std::string name;      // the ban's, as it was recorded
  std::string text;
  std::string state;  // kAppealOpen, kAppealAccepted or kAppealRejected
  std::string reply;  // the admin's, when decided
  std::string actor;  // who decided, Actor::label(); empty while open
  std::optional<int64_t> decided;
  std::string server;
};

// The banned players' appeals: gs_appeals. Filed from the public listener
// and decided by the admins, both on the loop. Loop thread only, as the
// store, which must outlive this object.
class Appeals {
 public:
  // An appeal's text: at most this many characters (UTF-8 sequences).
  static constexpr size_t kMaxTextChars = 2000;
  // An admin's reply is kept up to this many bytes, as a reason is.
  static constexpr size_t kMaxReplyBytes = 256;

  explicit Appeals(RecordStore& store) : store_(store) {}

  // Records the appeal of ban `sanction` by `name` with `text` at `now`,
  // under `tokenHash` (appealTokenHash of the appellant's token). The
  // appeal's number: 0 when its row cannot be written yet.
  int64_t file(int64_t sanction, std::string_view name, std::string_view text,
               const std::string& tokenHash, int64_t now);
  // The appeal numbered `id`, or none (none also when it cannot be read).
  std::optional<AppealRecord> find(int64_t id);
  // Whether ban `sanction` has an appeal still open.
  bool openOn(int64_t sanction);
  // The open appeals, oldest first, at most `count`; none when they cannot
  // be read.
  std::optional<std::vector<AppealRecord>> unanswered(size_t count);
  // Marks appeal `id` `state` (accepted or rejected) at `now` by `actor`
  // with `reply`. The caller has checked that it is open.
  void decide(int64_t id, std::string_view state, std::string_view reply, std::string_view actor,
              int64_t now);

 private:
  RecordStore& store_;
};

// The characters of UTF-8 `text` (a malformed byte counts as one).
size_t characterCount(std::string_view text);

// The hash an appeal's token is kept and looked up under: SHA-256 in hex.
// The token itself is never stored, so that a read of the table cannot
// be used to see or decide anyone's appeal.
std::string appealTokenHash(std::string_view token);

// What an appellant may see of an appeal: read by its token's hash on any
// connection (a reader thread's). None when there is none; *failed set
// when the database could not be read.
struct AppealStatus {
  int64_t sanction = 0;
  std::string state;
  std::string reply;
  std::optional<int64_t> decided;
};
std::optional<AppealStatus> readAppealStatus(Database& database, const std::string& tokenHash,
                                             bool* failed);

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_APPEALS_H_
