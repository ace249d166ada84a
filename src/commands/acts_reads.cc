// The reads: the players on the server and what the moderation knows.

#include <algorithm>
#include <cstdio>
#include <functional>

#include "commands/acts.h"
#include "console/printable.h"
#include "context/session_context.h"
#include "moderation/listings.h"
#include "moderation/moderation.h"

namespace gsadmin::acts {
namespace {

// `text` padded with spaces to `width` columns (longer texts are kept whole).
std::string column(std::string text, size_t width) {
  if (text.size() < width) text.resize(width, ' ');
  return text + " ";
}

// A health as a whole number; printf is defined for NaN and infinities.
std::string wholeNumber(float value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.0f", static_cast<double>(value));
  return text;
}

std::string vehicleName(const Vehicle& vehicle) {
  return vehicle.name ? printable(*vehicle.name) : "#" + std::to_string(vehicle.id & 0xFF);
}

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

Outcome players(ActContext& context, const ActRequest&) {
  std::vector<const Player*> players;
  for (const auto& player : context.session.players().all()) players.push_back(player.get());
  if (players.empty()) return Outcome{"", {"no players"}, 0};
  std::sort(players.begin(), players.end(),
            [](const Player* a, const Player* b) { return a->id < b->id; });
  Outcome outcome;
  outcome.lines.push_back(column("ID", 3) + column("NAME", 16) + column("KILLS", 5) +
                          column("DEATHS", 6) + column("HEALTH", 6) + column("STATUS", 6) +
                          "VEHICLE");
  for (const Player* player : players) {
    outcome.lines.push_back(
        column(std::to_string(player->id), 3) + column(printable(player->name), 16) +
        column(std::to_string(player->kills), 5) + column(std::to_string(player->deaths), 6) +
        column(wholeNumber(player->health), 6) + column(std::to_string(player->status), 6) +
        (player->vehicle ? vehicleName(*player->vehicle) : "-"));
  }
  return outcome;
}

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
  return fromRecords(*context.moderation, [&] {
    return historyLines(*context.moderation, request.target.name, lines);
  });
}

Outcome bans(ActContext& context, const ActRequest&) {
  return fromRecords(*context.moderation, [&] { return banLines(*context.moderation); });
}

Outcome audit(ActContext& context, const ActRequest& request) {
  if (auto refusal = countRefusal(request.count, kMaxAuditLines)) return *refusal;
  size_t lines = request.count > 0 ? request.count : kAuditLines;
  return fromRecords(*context.moderation,
                     [&] { return auditLines(*context.moderation, lines); });
}

Outcome admins(ActContext& context, const ActRequest& request) {
  // In game the details stay unsaid: they tell an admin from an impostor.
  bool withDetails = request.actor.kind != Actor::Kind::kPlayer;
  return Outcome{"", adminLines(*context.moderation, withDetails), 0};
}

}  // namespace gsadmin::acts
