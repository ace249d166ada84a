// The reads of the server as the client sees it: the players and the
// vehicles someone is in.

#include <algorithm>
#include <cstdio>

#include "commands/acts.h"
#include "console/printable.h"
#include "context/session_context.h"

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

Outcome vehicles(ActContext& context, const ActRequest&) {
  Outcome outcome;
  for (const auto& vehicle : context.session.vehicles().all()) {
    // Who is in it now: the model keeps the last driver and riders after
    // they got out.
    const Player* driver = vehicle->currentDriver();
    std::vector<const Player*> riders = vehicle->currentPassengers();
    if (driver == nullptr && riders.empty()) continue;
    if (outcome.lines.empty()) {
      outcome.lines.push_back(column("ID", 3) + column("NAME", 16) + column("HEALTH", 6) +
                              column("DRIVER", 16) + "PASSENGERS");
    }
    std::string passengers;
    for (const Player* passenger : riders) {
      passengers += (passengers.empty() ? "" : ", ") + printable(passenger->name);
    }
    outcome.lines.push_back(column(std::to_string(vehicle->id & 0xFF), 3) +
                            column(vehicleName(*vehicle), 16) +
                            column(wholeNumber(vehicle->health), 6) +
                            column(driver ? printable(driver->name) : "-", 16) +
                            (passengers.empty() ? "-" : passengers));
  }
  if (outcome.lines.empty()) outcome.lines.emplace_back("no vehicle has a driver or passengers");
  return outcome;
}

}  // namespace gsadmin::acts
