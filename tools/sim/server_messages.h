#ifndef GSADMIN_TOOLS_SIM_SERVER_MESSAGES_H_
#define GSADMIN_TOOLS_SIM_SERVER_MESSAGES_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/wire.h"

namespace gsadmin::testing {

using Datagram = std::vector<uint8_t>;

// Builders of the datagrams a game server sends to the admin client, byte
// for byte as the client reads them. The simulator sends them; the tests and benchmarks use them
// too.

using wire::kAcceptedFixedBody;
using wire::kChatId;
using wire::kConnectionAcceptedId;
using wire::kDeathId;
using wire::kDisconnectId;
using wire::kKeepAliveRequestId;
using wire::kPlayerDetailsId;
using wire::kPlayerJoinedId;
using wire::kPlayerLeftId;
using wire::kPositionUpdateId;

struct ServerRecord {
  uint8_t gameCode = 2;
  uint8_t gameMode = 1;
  uint8_t maxPlayers = 32;
  std::string name = "Test Server";  // at most 50 bytes are sent
  std::string motd = "Welcome";      // at most 255 bytes are sent
};

struct ListedPlayer {
  uint8_t id = 0;
  std::string name;
  uint32_t entryValue = 0;  // sent only under game code 1
  bool terminated = true;   // false: no 0x07 after the name
};

// Id 1: the fixed 325-byte part, then one entry per player in the layout of
// the record's game code.
Datagram connectionAccepted(const ServerRecord& record, const std::vector<ListedPlayer>& players);
// Id 6.
Datagram disconnectReason(uint8_t reason);
// Id 4, one byte.
Datagram keepAliveRequest();
// Id 8: id, name, NUL.
Datagram playerJoined(uint8_t id, std::string_view name);
// Id 9: reason byte, id.
Datagram playerLeft(uint8_t reason, uint8_t id);
// Id 29: id, text, NUL.
Datagram playerDetails(uint8_t id, std::string_view text);
// Id 10: id, state, health, one unread byte, x, y, z (little-endian floats).
// State 0 on foot, 1 to 100 driving that vehicle, 101 to 200 passenger.
Datagram positionUpdate(uint8_t id, uint8_t state, float health, float x = 0, float y = 0,
                        float z = 0);
// Id 3: sender, status (3: admin channel), text, NUL.
Datagram chatLine(uint8_t sender, uint8_t status, std::string_view text);
// Id 11: victim, killer (100 admin, 255 nobody), weapon.
Datagram deathReport(uint8_t victim, uint8_t killer, uint8_t weapon);

// The bytes of a datagram as "0x0d 0x30 ..." for test failure messages.
std::string hexDump(const Datagram& datagram);

}  // namespace gsadmin::testing

#endif  // GSADMIN_TOOLS_SIM_SERVER_MESSAGES_H_
