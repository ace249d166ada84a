#include "protocol/connection_messages.h"

#include <cstdio>

#include "gamedata/vehicle_rosters.h"
#include "gamedata/weapon_tables.h"
#include "protocol/outbound.h"
#include "protocol/printable.h"
#include "session/admin_session.h"

namespace gsadmin {
namespace {

// Layout of the connection-accepted body.
constexpr size_t kGameCodeOffset = 0;
constexpr size_t kGameModeOffset = 1;
constexpr size_t kMaxPlayersOffset = 4;
constexpr size_t kNameOffset = 20;
constexpr size_t kNameLimit = 49;  // of a 50-byte area
constexpr size_t kMotdOffset = 70;
constexpr size_t kMotdLimit = 254;  // of a 255-byte area
constexpr size_t kPlayerListOffset = 325;
constexpr size_t kPlayerNameLimit = 15;
constexpr uint8_t kEntryTerminator = 0x07;

// Reads the player entries back to back from the end of the fixed part.
void registerListedPlayers(AdminSession& session, const BodyReader& body, uint16_t gameCode) {
  size_t entry = kPlayerListOffset;
  while (entry < body.length()) {
    uint8_t id = body.byteAt(entry);
    uint32_t entryValue = gameCode == 1 ? body.u32At(entry + 3) : 0;
    size_t nameStart = entry + (gameCode == 1 ? 7 : 3);
    size_t nameEnd = nameStart;
    while (nameEnd < body.length() && body.byteAt(nameEnd) != kEntryTerminator) ++nameEnd;
    entry = nameEnd + 1;  // steps over the terminator

    std::string name;
    if (nameStart < nameEnd) {
      name = BodyReader(body.data() + nameStart, nameEnd - nameStart).textAt(0, kPlayerNameLimit);
    }
    if (name.empty()) continue;
    Player& player = session.players()->add(id, name);
    player.entryValue = entryValue;
    sendPlayerDetailsRequest(session, id);
  }
}

const char* disconnectLine(uint8_t reason) {
  switch (reason) {
    case 0:
      return "Disconnected: Nick already in use.\n";
    case 1:
      return "Disconnected: You are banned.\n";
    case 2:
      return "Disconnected: Connection timed out.\n";
    case 4:
      return "Disconnected: Incorrect password.\n";
    case 5:
      return "Disconnected: Server is being shut down.\n";
    case 6:
      return "Disconnected: Incompatible version.\n";
    case 10:
      return "Disconnected: Bad nickname.\n";
    case 11:
      return "Disconnected: Razid+ is disabled on the server.\n";
    default:
      return nullptr;
  }
}

}  // namespace

void handleConnectionAccepted(AdminSession& session, const BodyReader& body) {
  session.setConnected(true);
  ServerInfo& info = *session.serverInfo();
  info.gameCode = body.byteAt(kGameCodeOffset);
  info.gameMode = body.byteAt(kGameModeOffset);
  info.maxPlayers = body.byteAt(kMaxPlayersOffset);
  info.setName(body.textAt(kNameOffset, kNameLimit));
  info.setMotd(body.textAt(kMotdOffset, kMotdLimit));

  buildWeaponTable(info, session.weapons());
  buildVehicleRoster(info, session.vehicles());
  registerListedPlayers(session, body, info.gameCode);

  std::printf("Successfully connected! '%s' (Players: %d/%d)\n",
              printable(info.name.value_or(std::string())).c_str(),
              static_cast<int>(session.players()->count()), static_cast<int>(info.maxPlayers));
  session.events().fireEvent("onConnect");
}

void handleDisconnect(AdminSession& session, const BodyReader& body) {
  uint8_t reason = body.byteAt(0);
  if (const char* line = disconnectLine(reason)) std::fputs(line, stdout);
  session.events().fireEvent("onDisconnect", reason);  // handlers see the old state
  session.setConnected(false);
}

}  // namespace gsadmin
