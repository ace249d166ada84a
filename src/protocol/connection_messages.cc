#include "protocol/connection_messages.h"

#include "console/console.h"
#include "console/printable.h"
#include "context/session_context.h"
#include "model/game_tables.h"
#include "protocol/outbound.h"
#include "protocol/wire.h"

namespace gsadmin {
namespace {

using namespace wire;

// Reads the player entries back to back from the end of the fixed part.
void registerListedPlayers(SessionContext& session, const BodyReader& body, uint16_t gameCode) {
  size_t entry = kAcceptedFixedBody;
  while (entry < body.length()) {
    uint8_t id = body.byteAt(entry);
    uint32_t entryValue = gameCode == 1 ? body.u32At(entry + 3) : 0;
    size_t nameStart = entry + (gameCode == 1 ? 7 : 3);
    size_t nameEnd = nameStart;
    while (nameEnd < body.length() && body.byteAt(nameEnd) != kEntryTerminator) ++nameEnd;
    entry = nameEnd + 1;  // steps over the terminator

    std::string name;
    if (nameStart < nameEnd) {
      name =
          BodyReader(body.data() + nameStart, nameEnd - nameStart).textAt(0, kEntryPlayerNameLimit);
    }
    if (name.empty()) continue;
    Player& player = session.players().add(id, name);
    player.entryValue = entryValue;
    sendPlayerDetailsRequest(session, id);
  }
}

const char* disconnectLine(uint8_t reason) {
  switch (reason) {
    case kDisconnectNickInUse:
      return "Disconnected: Nick already in use.";
    case kDisconnectBanned:
      return "Disconnected: You are banned.";
    case kDisconnectTimedOut:
      return "Disconnected: Connection timed out.";
    case kDisconnectWrongPassword:
      return "Disconnected: Incorrect password.";
    case kDisconnectShuttingDown:
      return "Disconnected: Server is being shut down.";
    case kDisconnectIncompatibleVersion:
      return "Disconnected: Incompatible version.";
    case kDisconnectBadNickname:
      return "Disconnected: Bad nickname.";
    case kDisconnectAddOnDisabled:
      return "Disconnected: Razid+ is disabled on the server.";
    default:
      return nullptr;
  }
}

}  // namespace

void handleConnectionAccepted(SessionContext& session, const BodyReader& body) {
  session.setConnected(true);
  ServerInfo& info = session.serverInfo();
  info.gameCode = body.byteAt(kAcceptedGameCodeOffset);
  info.gameMode = body.byteAt(kAcceptedGameModeOffset);
  info.maxPlayers = body.byteAt(kAcceptedMaxPlayersOffset);
  info.setName(body.textAt(kAcceptedNameOffset, kMaxServerName));
  info.setMotd(body.textAt(kAcceptedMotdOffset, kMaxMotd));

  buildWeaponTable(info, session.weapons());
  buildVehicleRoster(info, session.vehicles());
  registerListedPlayers(session, body, info.gameCode);

  std::string serverName = info.name.value_or(std::string());
  session.console().entry(
      LogEntry(LogKind::kConnect, "Successfully connected! '" + printable(serverName) +
                                      "' (Players: " + std::to_string(session.players().count()) +
                                      "/" + std::to_string(static_cast<int>(info.maxPlayers)) + ")")
          .add("server", serverName)
          .add("players", static_cast<int64_t>(session.players().count()))
          .add("max_players", info.maxPlayers));
  session.events().fireEvent(Event::kConnect);
}

void handleDisconnect(SessionContext& session, const BodyReader& body) {
  uint8_t reason = body.byteAt(0);
  if (const char* line = disconnectLine(reason)) {
    session.console().entry(LogEntry(LogKind::kDisconnect, line).add("reason", reason));
  }
  session.events().fireEvent(Event::kDisconnect, reason);  // handlers see the old state
  session.setConnected(false);
}

}  // namespace gsadmin
