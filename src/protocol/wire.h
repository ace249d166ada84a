#ifndef GSADMIN_PROTOCOL_WIRE_H_
#define GSADMIN_PROTOCOL_WIRE_H_

#include <array>
#include <cstddef>
#include <cstdint>

// The admin protocol on the wire: every message id in both directions and
// every fixed layout, defined here once. The client's reader and builders,
// the simulator and the tests all take their numbers from this file.
namespace gsadmin::wire {

// ---- Server to client: the first byte of every datagram. ----
constexpr uint8_t kConnectionAcceptedId = 1;
constexpr uint8_t kChatId = 3;
constexpr uint8_t kKeepAliveRequestId = 4;
constexpr uint8_t kDisconnectId = 6;
constexpr uint8_t kPlayerJoinedId = 8;
constexpr uint8_t kPlayerLeftId = 9;
constexpr uint8_t kPositionUpdateId = 10;
constexpr uint8_t kDeathId = 11;
constexpr uint8_t kPlayerDetailsId = 29;

// The name of each of them, as the metrics label the datagrams counted.
struct MessageName {
  uint8_t id;
  const char* name;
};
inline constexpr MessageName kMessageNames[] = {
    {kConnectionAcceptedId, "connection_accepted"},
    {kChatId, "chat"},
    {kKeepAliveRequestId, "keep_alive_request"},
    {kDisconnectId, "disconnect"},
    {kPlayerJoinedId, "player_joined"},
    {kPlayerLeftId, "player_left"},
    {kPositionUpdateId, "position_update"},
    {kDeathId, "death"},
    {kPlayerDetailsId, "player_details"},
};
// The same spread over every byte value; null for an id of no message.
constexpr std::array<const char*, 256> messageNamesById() {
  std::array<const char*, 256> names{};
  for (const MessageName& message : kMessageNames) names[message.id] = message.name;
  return names;
}
inline constexpr std::array<const char*, 256> kMessageNamesById = messageNamesById();

// ---- Client to server. ----
constexpr uint8_t kLoginId = 0x0D;
constexpr uint8_t kKeepAliveAnswerId = 0x35;
constexpr uint8_t kPlayerDetailsRequestId = 0x1D;
constexpr uint8_t kChatFrameId = 0x03;
constexpr uint8_t kKickRequestId = 0x0E;
constexpr uint8_t kBanRequestId = 0x0F;

// Login: id, '0', 0x02, name, '|', password, 0x00.
constexpr uint8_t kLoginVersion = 0x30;
constexpr uint8_t kLoginMarker = 0x02;
constexpr uint8_t kLoginSeparator = 0x7C;
// Chat frame: id, 0x03, text, 0x00.
constexpr uint8_t kChatFrameChannel = 0x03;
// Longest text a chat frame carries; longer texts are cut to this many bytes.
constexpr size_t kMaxChatText = 511;

// ---- Connection-accepted body (offsets after the id byte). ----
constexpr size_t kAcceptedGameCodeOffset = 0;
constexpr size_t kAcceptedGameModeOffset = 1;
constexpr size_t kAcceptedMaxPlayersOffset = 4;
constexpr size_t kAcceptedNameOffset = 20;
constexpr size_t kAcceptedNameArea = 50;
constexpr size_t kAcceptedMotdOffset = 70;
constexpr size_t kAcceptedMotdArea = 255;
// The longest server name and message of the day the client reads.
constexpr size_t kMaxServerName = kAcceptedNameArea - 1;
constexpr size_t kMaxMotd = kAcceptedMotdArea - 1;
// The fixed part; the player entries follow back to back.
constexpr size_t kAcceptedFixedBody = 325;
// Entry: id, two unread bytes, [u32 value under game code 1], name, 0x07.
constexpr uint8_t kEntryTerminator = 0x07;
// The longest player name the client reads from an entry.
constexpr size_t kEntryPlayerNameLimit = 15;

// ---- Disconnect body: the reason code. ----
constexpr uint8_t kDisconnectNickInUse = 0;
constexpr uint8_t kDisconnectBanned = 1;
constexpr uint8_t kDisconnectTimedOut = 2;
constexpr uint8_t kDisconnectWrongPassword = 4;
constexpr uint8_t kDisconnectShuttingDown = 5;
constexpr uint8_t kDisconnectIncompatibleVersion = 6;
constexpr uint8_t kDisconnectBadNickname = 10;
constexpr uint8_t kDisconnectAddOnDisabled = 11;

// ---- Player-left body: reason, id. Other reasons read as leaving. ----
constexpr uint8_t kQuitLeft = 0;
constexpr uint8_t kQuitKicked = 1;
constexpr uint8_t kQuitTimedOut = 2;

// ---- Chat body: sender, status, text, NUL. ----
constexpr uint8_t kAdminStatus = 3;
constexpr size_t kChatTextOffset = 2;

// ---- Position update body: id, state, health, one unread byte, x, y, z. ----
constexpr uint8_t kOnFootState = 0;
constexpr uint8_t kLastDriverState = 100;     // 1-100: driving that vehicle
constexpr uint8_t kLastPassengerState = 200;  // 101-200: riding in state - 100
constexpr size_t kPositionHealthOffset = 2;
constexpr size_t kPositionXOffset = 7;
constexpr size_t kPositionYOffset = 11;
constexpr size_t kPositionZOffset = 15;

// ---- Death body: victim, killer, weapon. ----
constexpr uint8_t kKillerAdmin = 100;
constexpr uint8_t kNoKiller = 255;

}  // namespace gsadmin::wire

#endif  // GSADMIN_PROTOCOL_WIRE_H_
