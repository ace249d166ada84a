// The console's .server command: the server and the connection.

#include <cstdio>
#include <string>

#include "console/printable.h"
#include "session/admin_session.h"
#include "session/console_commands.h"

namespace gsadmin {
namespace {

std::string optionalText(const std::optional<std::string>& text) {
  return text ? printable(*text) : "(unknown)";
}

}  // namespace

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
