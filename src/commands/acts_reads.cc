// The reads of what the moderation knows.

#include <functional>

#include "commands/acts.h"
#include "console/printable.h"
#include "context/session_context.h"
#include "moderation/listings.h"
#include "moderation/moderation.h"

namespace gsadmin::acts {
namespace {

// The lines of a read of the records, or its refusal when a query failed:
// the readers find nothing then, which must not read as "nothing is known".
Outcome fromRecords(Moderation& moderation, const std::function<std::vector<std::string>()>& read) {
  moderation.store().takeQueryError();  // an earlier one is not this read's
  Outcome outcome;
  outcome.lines = read();
  if (std::optional<std::string> error = moderation.store().takeQueryError()) {
    return Outcome::refused("cannot read the records: " + *error);
  }
  return outcome;
}

}  // namespace

Outcome seen(ActContext& context, const ActRequest& request) {
  if (request.target.name.empty()) return Outcome::refused("a name is needed");
  return fromRecords(*context.moderation,
                     [&] { return seenLines(*context.moderation, request.target.name); });
}

// A count of at most `most`, or the refusal.
static std::optional<Outcome> countRefusal(size_t count, size_t most) {
  if (count <= most) return std::nullopt;
  return Outcome::refused("N is a number from 1 to " + std::to_string(most));
}

Outcome history(ActContext& context, const ActRequest& request) {
  if (request.target.name.empty()) return Outcome::refused("a name is needed");
  if (auto refusal = countRefusal(request.count, kMaxHistoryChatLines)) return *refusal;
  size_t lines = request.count > 0 ? request.count : kHistoryChatLines;
  return fromRecords(*context.moderation,
                     [&] { return historyLines(*context.moderation, request.target.name, lines); });
}

Outcome bans(ActContext& context, const ActRequest&) {
  return fromRecords(*context.moderation, [&] { return banLines(*context.moderation); });
}

Outcome audit(ActContext& context, const ActRequest& request) {
  if (auto refusal = countRefusal(request.count, kMaxAuditLines)) return *refusal;
  size_t lines = request.count > 0 ? request.count : kAuditLines;
  return fromRecords(*context.moderation, [&] { return auditLines(*context.moderation, lines); });
}

Outcome admins(ActContext& context, const ActRequest& request) {
  // In game the details stay unsaid: they tell an admin from an impostor.
  bool withDetails = request.actor.kind != Actor::Kind::kPlayer;
  return Outcome{"", adminLines(*context.moderation, withDetails), 0};
}

}  // namespace gsadmin::acts
