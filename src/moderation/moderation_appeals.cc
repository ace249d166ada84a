// Banned players' appeals: filed from the public listener, listed, and
// accepted (the ban lifted) or rejected by the admins.

#include "console/printable.h"
#include "context/admin_actions.h"
#include "context/session_context.h"
#include "moderation/moderation.h"
#include "moderation/moderation_texts.h"

namespace gsadmin {
namespace {

inline constexpr char kAuditAppealAccept[] = "appeal accept";
inline constexpr char kAuditAppealReject[] = "appeal reject";

std::string numbered(const char* what, int64_t id) {
  return std::string(what) + (id > 0 ? " #" + std::to_string(id) : std::string());
}

bool holds(const SanctionRecord& ban, int64_t now) {
  return !ban.lifted && (!ban.until || *ban.until > now);
}

}  // namespace

std::string Moderation::fileAppeal(int64_t ban, std::string_view name, std::string_view text,
                                   const std::string& tokenHash, int64_t* number) {
  std::string which = "ban #" + std::to_string(ban);
  std::optional<SanctionRecord> record = sanctions_.banById(ban);
  if (!record || nameKey(record->name) != nameKey(name)) {
    return "there is no " + which + " on that name";
  }
  int64_t moment = now();
  if (!holds(*record, moment)) return which + " no longer holds";
  if (appeals_.openOn(ban)) return which + " has an appeal open already";
  *number = appeals_.file(ban, record->name, text, tokenHash, moment);
  std::string notice =
      numbered("Appeal", *number) + " of " + which + " by " + printable(record->name);
  session_.console().entry(LogEntry(LogKind::kSanction, "* " + notice)
                               .add("appeal", *number)
                               .add("ban", ban)
                               .add("name", record->name));
  for (const auto& player : session_.players().all()) {
    if (levelOf(*player) >= kAdminLevel) admin::sendMessage(session_, player->id, notice);
  }
  return "";
}

std::string Moderation::acceptAppeal(const Actor& actor, int64_t id, std::string_view reply) {
  std::optional<AppealRecord> appeal = appeals_.find(id);
  std::string which = "appeal #" + std::to_string(id);
  if (!appeal) return "there is no " + which;
  if (appeal->state != kAppealOpen) return which + " is " + appeal->state + " already";
  std::optional<SanctionRecord> ban = sanctions_.banById(appeal->sanction);
  std::string name = ban ? ban->name : appeal->name;
  std::string kept = boundedText(keptReason(reply), Appeals::kMaxReplyBytes);
  // The lift is the unban act's own, audited as such, its reason naming
  // the appeal.
  unban(actor, name, which);
  int64_t moment = now();
  appeals_.decide(id, kAppealAccepted, kept, actor.label(), moment);
  std::string detail = "#" + std::to_string(id) + (kept.empty() ? "" : ": " + kept);
  sanctions_.audit(actor.label(), kAuditAppealAccept, name, detail, moment, appeal->sanction);
  // The appellant reads the decision on another connection: written now,
  // before it is said, not at the next batch.
  writeRecords();
  session_.console().line("* " + printable(actor.label()) + " accepted " + which + " of ban #" +
                          std::to_string(appeal->sanction) + " on " + printable(name) +
                          (kept.empty() ? "" : ": " + printable(kept)));
  return "";
}

std::string Moderation::rejectAppeal(const Actor& actor, int64_t id, std::string_view reply) {
  std::string kept = boundedText(keptReason(reply), Appeals::kMaxReplyBytes);
  if (kept.empty()) return "a rejection needs a reply";
  std::optional<AppealRecord> appeal = appeals_.find(id);
  std::string which = "appeal #" + std::to_string(id);
  if (!appeal) return "there is no " + which;
  if (appeal->state != kAppealOpen) return which + " is " + appeal->state + " already";
  int64_t moment = now();
  appeals_.decide(id, kAppealRejected, kept, actor.label(), moment);
  sanctions_.audit(actor.label(), kAuditAppealReject, appeal->name,
                   "#" + std::to_string(id) + ": " + kept, moment, appeal->sanction);
  writeRecords();
  session_.console().line("* " + printable(actor.label()) + " rejected " + which + " of ban #" +
                          std::to_string(appeal->sanction) + " on " + printable(appeal->name) +
                          ": " + printable(kept));
  return "";
}

}  // namespace gsadmin
