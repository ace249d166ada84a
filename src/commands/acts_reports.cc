// Players' reports: made in game or at the console, listed, shown with
// their evidence, claimed and closed by the admins.

#include <algorithm>

#include "commands/acts.h"
#include "commands/target.h"
#include "context/session_context.h"
#include "moderation/listings.h"
#include "moderation/moderation.h"

namespace gsadmin::acts {
namespace {

// A ban's number is kept well inside int64_t, as typed_request.cc reads it.
constexpr size_t kMaxSanctionDigits = 18;

struct Closing {
  std::optional<int64_t> sanction;
  std::string note;
};

// "[#SANCTION] [NOTE]": a leading "#12" names the sanction, the rest is
// the note. None when the "#" is not followed by a number.
std::optional<Closing> closingOf(std::string_view text) {
  Closing closing;
  if (!text.starts_with('#')) {
    closing.note = std::string(text);
    return closing;
  }
  size_t end = std::min(text.find(' '), text.size());
  std::string_view digits = text.substr(1, end - 1);
  bool number =
      !digits.empty() && digits.size() <= kMaxSanctionDigits &&
      std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!number) return std::nullopt;
  closing.sanction = std::stoll(std::string(digits));
  text.remove_prefix(end);
  size_t first = text.find_first_not_of(' ');
  closing.note = first == std::string_view::npos ? "" : std::string(text.substr(first));
  return closing;
}

}  // namespace

Outcome report(ActContext& context, const ActRequest& request) {
  Outcome outcome;
  std::optional<Person> target =
      personTarget(context.session.players(), request.target, &outcome.refusal);
  if (!target) return outcome;
  std::string confirmation;
  outcome.refusal = context.moderation->report(request.actor, *target, request.text, &confirmation);
  // The console has its "* Report" line; a player in game gets one answer.
  if (outcome.done() && request.actor.kind == Actor::Kind::kPlayer) {
    outcome.lines.push_back(confirmation);
  }
  return outcome;
}

Outcome reports(ActContext& context, const ActRequest&) {
  return Outcome{"", reportLines(*context.moderation), 0};
}

Outcome showReport(ActContext& context, const ActRequest& request) {
  return Outcome{"", reportShowLines(*context.moderation, request.report), 0};
}

Outcome claimReport(ActContext& context, const ActRequest& request) {
  return Outcome::refused(context.moderation->claimReport(request.actor, request.report));
}

Outcome closeReport(ActContext& context, const ActRequest& request) {
  std::optional<Closing> closing = closingOf(request.text);
  if (!closing) return Outcome::refused("#SANCTION is a sanction's number, such as #12");
  return Outcome::refused(context.moderation->closeReport(request.actor, request.report,
                                                          closing->sanction, closing->note));
}

}  // namespace gsadmin::acts
