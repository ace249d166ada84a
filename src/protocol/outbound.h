#ifndef GSADMIN_PROTOCOL_OUTBOUND_H_
#define GSADMIN_PROTOCOL_OUTBOUND_H_

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "protocol/wire.h"

namespace gsadmin {

class SessionContext;

// Every message the client sends, byte for byte. The builders are pure. No
// send result is ever looked at.

// 0x0D, '0', 0x02, name, '|', password, 0x00: 5 + name + password bytes.
std::vector<uint8_t> buildLogin(std::string_view adminName, std::string_view adminPassword);
// 0x35, 0x00.
std::vector<uint8_t> buildKeepAliveAnswer();
// 0x1D, id.
std::vector<uint8_t> buildPlayerDetailsRequest(uint8_t playerId);
// 0x03, 0x03, the first 511 bytes of text, 0x00.
std::vector<uint8_t> buildChatFrame(std::string_view text);
// 0x0E, id, 0x00.
std::vector<uint8_t> buildKickRequest(uint8_t playerId);
// 0x0F, id, 0x00.
std::vector<uint8_t> buildBanRequest(uint8_t playerId);

// Builds and sends a details request through the session's sink.
void sendPlayerDetailsRequest(SessionContext& session, uint8_t playerId);

}  // namespace gsadmin

#endif  // GSADMIN_PROTOCOL_OUTBOUND_H_
