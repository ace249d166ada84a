// Changes to a ban already made, named by its number as the bans list
// shows it: its reason and its length.

#include "base/durations.h"
#include "console/printable.h"
#include "context/session_context.h"
#include "moderation/moderation.h"
#include "moderation/moderation_texts.h"

namespace gsadmin {
namespace {

constexpr char kAuditBanReason[] = "ban reason";
constexpr char kAuditBanLength[] = "ban length";

std::string banNamed(int64_t id) {
  return "ban #" + std::to_string(id);
}

}  // namespace

std::optional<SanctionRecord> Moderation::editableBan(int64_t id, std::string* refusal) {
  if (id <= 0) {
    *refusal = "a ban's number is needed";
    return std::nullopt;
  }
  std::optional<SanctionRecord> ban = sanctions_.banById(id);
  if (!ban) *refusal = "there is no " + banNamed(id);
  return ban;
}

std::string Moderation::rewordBan(const Actor& actor, int64_t id, std::string_view reason) {
  std::string refusal;
  std::optional<SanctionRecord> ban = editableBan(id, &refusal);
  if (!ban) return refusal;
  std::string kept = keptReason(reason);
  if (kept.empty()) return "a reason is needed";
  sanctions_.reword(*ban, kept);
  sanctions_.audit(actor.label(), kAuditBanReason, ban->name,
                   "#" + std::to_string(id) + ": " + kept, now(), id);
  session_.console().line("* " + printable(actor.label()) + " gave " + banNamed(id) + " on " +
                          printable(ban->name) + " the reason: " + printable(kept));
  return "";
}

std::string Moderation::relengthBan(const Actor& actor, int64_t id, int64_t seconds) {
  std::string refusal;
  std::optional<SanctionRecord> ban = editableBan(id, &refusal);
  if (!ban) return refusal;
  if (ban->lifted) return banNamed(id) + " was lifted";
  if (seconds <= 0 || seconds > kMaxDurationSeconds) return "the length is out of range";
  sanctions_.relength(*ban, seconds);
  std::string length = formatDuration(seconds);
  int64_t until = ban->time + seconds;
  sanctions_.audit(actor.label(), kAuditBanLength, ban->name,
                   "#" + std::to_string(id) + ": " + length, now(), id);
  session_.console().line("* " + printable(actor.label()) + " made " + banNamed(id) + " on " +
                          printable(ban->name) + " last " + length + ", until " +
                          formatUtcTime(until));
  return "";
}

}  // namespace gsadmin
