// Players' reports: filed by a player in game or at the console, told to
// the admins, claimed and closed by them.

#include "base/durations.h"
#include "console/printable.h"
#include "context/admin_actions.h"
#include "context/session_context.h"
#include "moderation/moderation.h"
#include "moderation/moderation_texts.h"

namespace gsadmin {
namespace {

inline constexpr char kAuditReport[] = "report";
inline constexpr char kAuditReportClaim[] = "report claim";
inline constexpr char kAuditReportClose[] = "report close";

std::string numbered(int64_t id) {
  return id > 0 ? " #" + std::to_string(id) : std::string();
}

}  // namespace

std::string Moderation::report(const Actor& actor, const Person& person, std::string_view reason,
                               std::string* confirmation) {
  std::string text = keptReason(reason);
  if (text.empty()) return "a reason is needed";
  int64_t moment = now();
  std::string target = person.name;
  if (!person.online) {
    // Off the server: a name seen lately, as it was last seen.
    std::optional<PlayerRecord> seen = history_.find(person.name);
    if (!seen || seen->lastSeen < moment - kReportSeenSeconds) {
      return printable(person.name) + " is not on the server and was not seen in the last hour";
    }
    target = seen->name;
  }
  if (nameKey(target) == nameKey(actor.name)) return "you may not report yourself";
  if (int64_t wait = reportCooldown_.take(nameKey(actor.label()), moment); wait > 0) {
    return "one report a " + formatDuration(settings_.reportCooldownSeconds) +
           "; you may report again in " + formatDuration(wait);
  }
  Reports::Filed filed = reports_.file(target, actor.name, text, moment, session_.clock().nowMs());
  std::string notice = "Report" + numbered(filed.id) + ": " + printable(target) + " by " +
                       printable(actor.name) + ": " + printable(text);
  if (filed.joined) notice += " (" + std::to_string(filed.reporters) + " reporters)";
  session_.console().entry(LogEntry(LogKind::kSanction, "* " + notice)
                               .add("report", filed.id)
                               .add("name", target)
                               .add("reason", text)
                               .add("actor", actor.label()));
  for (const auto& player : session_.players().all()) {
    if (actor.playerId == player->id || levelOf(*player) < kModeratorLevel) continue;
    admin::sendMessage(session_, player->id, notice);
  }
  sanctions_.audit(actor.label(), kAuditReport, target,
                   (filed.id > 0 ? "#" + std::to_string(filed.id) + ": " : "") + text, moment);
  EventArgument arguments[] = {{false, static_cast<int32_t>(filed.id), {}},
                               {true, 0, actor.name},
                               {true, 0, target},
                               {true, 0, text}};
  session_.events().fire(Event::kPlayerReport, arguments);
  *confirmation = "Report" + numbered(filed.id) + " on " + target + " taken: the admins are told";
  return "";
}

std::string Moderation::claimReport(const Actor& actor, int64_t id) {
  std::optional<ReportRecord> report = reports_.find(id);
  std::string name = "report #" + std::to_string(id);
  if (!report) return "there is no " + name;
  if (report->state == kReportClosed) return name + " is closed";
  std::string from;
  if (report->state == kReportClaimed && report->claimedBy != actor.name) {
    from = " from " + printable(report->claimedBy);
  }
  reports_.claim(id, actor.name);
  sanctions_.audit(actor.label(), kAuditReportClaim, report->target, "#" + std::to_string(id),
                   now());
  session_.console().line("* " + printable(actor.label()) + " claimed " + name + " on " +
                          printable(report->target) + from);
  return "";
}

std::string Moderation::closeReport(const Actor& actor, int64_t id, std::optional<int64_t> sanction,
                                    std::string_view note) {
  std::optional<ReportRecord> report = reports_.find(id);
  std::string name = "report #" + std::to_string(id);
  if (!report) return "there is no " + name;
  if (report->state == kReportClosed) return name + " is closed already";
  std::string outcome = "no action";
  if (sanction) {
    if (!sanctions_.sanctionById(*sanction)) {
      return "there is no sanction #" + std::to_string(*sanction);
    }
    outcome = "sanction #" + std::to_string(*sanction);
  }
  std::string kept = keptReason(note);
  reports_.close(id, sanction, kept, now());
  std::string detail = "#" + std::to_string(id) + ": " + outcome;
  if (!kept.empty()) detail += ": " + kept;
  sanctions_.audit(actor.label(), kAuditReportClose, report->target, detail, now(), sanction);
  session_.console().line("* " + printable(actor.label()) + " closed " + name + " on " +
                          printable(report->target) + " with " + outcome +
                          (kept.empty() ? "" : ": " + printable(kept)));
  return "";
}

}  // namespace gsadmin
