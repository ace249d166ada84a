// The tables of the console's .vehicles and .server commands.

#include <algorithm>
#include <cstdio>
#include <string>

#include "console/printable.h"
#include "session/admin_session.h"
#include "session/console_commands.h"

namespace gsadmin {
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

std::string optionalText(const std::optional<std::string>& text) {
  return text ? printable(*text) : "(unknown)";
}

}  // namespace

void ConsoleCommands::showVehicles() {
  bool any = false;
  for (const auto& vehicle : session_.vehicles().all()) {
    // Who is in it now: the model keeps the last driver and riders after
    // they got out.
    const Player* driver = vehicle->currentDriver();
    std::vector<const Player*> riders = vehicle->currentPassengers();
    if (driver == nullptr && riders.empty()) continue;
    if (!any) {
      say(column("ID", 3) + column("NAME", 16) + column("HEALTH", 6) + column("DRIVER", 16) +
          "PASSENGERS");
      any = true;
    }
    std::string passengers;
    for (const Player* passenger : riders) {
      passengers += (passengers.empty() ? "" : ", ") + printable(passenger->name);
    }
    say(column(std::to_string(vehicle->id & 0xFF), 3) + column(vehicleName(*vehicle), 16) +
        column(wholeNumber(vehicle->health), 6) +
        column(driver ? printable(driver->name) : "-", 16) +
        (passengers.empty() ? "-" : passengers));
  }
  if (!any) say("no vehicle has a driver or passengers");
}

void ConsoleCommands::showServer() {
  const SessionSettings& settings = session_.settings();
  const ServerInfo& server = session_.serverInfo();
  say("address:  " + printable(untilNul(settings.serverIP)) + ":" +
      std::to_string(settings.serverPort));
  say("name:     " + optionalText(server.name));
  say("motd:     " + optionalText(server.motd));
  say("game:     " + std::to_string(server.gameCode) + ", mode " + std::to_string(server.gameMode));
  say("players:  " + std::to_string(session_.players().count()) + "/" +
      std::to_string(server.maxPlayers));
  say(std::string("state:    ") + (session_.connected() ? "connected" : "not connected"));
  std::optional<uint64_t> last = session_.lastDatagramMs();
  if (!last) {
    say("last datagram: none yet");
    return;
  }
  uint64_t ago = session_.clock().nowMs() - *last;
  char seconds[64];
  std::snprintf(seconds, sizeof seconds, "%.1f", static_cast<double>(ago) / 1000.0);
  say("last datagram: " + std::string(seconds) + " s ago");
}

}  // namespace gsadmin
