#include "sim/server_messages.h"

#include <cstdio>
#include <cstring>

namespace gsadmin::testing {
namespace {

void appendU32(Datagram& datagram, uint32_t value) {
  for (int i = 0; i < 4; ++i) datagram.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void appendFloat(Datagram& datagram, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof(bits));
  appendU32(datagram, bits);
}

void appendText(Datagram& datagram, std::string_view text) {
  // Resize and copy rather than a range insert, which GCC 12 misreads at -O3.
  size_t at = datagram.size();
  datagram.resize(at + text.size());
  if (!text.empty()) std::memcpy(datagram.data() + at, text.data(), text.size());
}

// Writes text into a zero-filled area of `width` bytes at `offset`.
void putArea(Datagram& datagram, size_t offset, size_t width, std::string_view text) {
  size_t size = text.size() < width ? text.size() : width;
  std::memcpy(datagram.data() + offset, text.data(), size);
}

}  // namespace

Datagram connectionAccepted(const ServerRecord& record, const std::vector<ListedPlayer>& players) {
  Datagram datagram(1 + kAcceptedFixedBody, 0);
  datagram[0] = kConnectionAcceptedId;
  datagram[1] = record.gameCode;
  datagram[2] = record.gameMode;
  datagram[5] = record.maxPlayers;
  putArea(datagram, 1 + wire::kAcceptedNameOffset, wire::kAcceptedNameArea, record.name);
  putArea(datagram, 1 + wire::kAcceptedMotdOffset, wire::kAcceptedMotdArea, record.motd);
  for (const ListedPlayer& player : players) {
    datagram.push_back(player.id);
    datagram.push_back(0);
    datagram.push_back(0);
    if (record.gameCode == 1) appendU32(datagram, player.entryValue);
    appendText(datagram, player.name);
    if (player.terminated) datagram.push_back(wire::kEntryTerminator);
  }
  return datagram;
}

Datagram disconnectReason(uint8_t reason) {
  return {kDisconnectId, reason};
}

Datagram keepAliveRequest() {
  return {kKeepAliveRequestId};
}

Datagram playerJoined(uint8_t id, std::string_view name) {
  Datagram datagram = {kPlayerJoinedId, id};
  appendText(datagram, name);
  datagram.push_back(0);
  return datagram;
}

Datagram playerLeft(uint8_t reason, uint8_t id) {
  return {kPlayerLeftId, reason, id};
}

Datagram playerDetails(uint8_t id, std::string_view text) {
  Datagram datagram = {kPlayerDetailsId, id};
  appendText(datagram, text);
  datagram.push_back(0);
  return datagram;
}

Datagram positionUpdate(uint8_t id, uint8_t state, float health, float x, float y, float z) {
  Datagram datagram = {kPositionUpdateId, id, state};
  appendFloat(datagram, health);
  datagram.push_back(0);
  appendFloat(datagram, x);
  appendFloat(datagram, y);
  appendFloat(datagram, z);
  return datagram;
}

Datagram chatLine(uint8_t sender, uint8_t status, std::string_view text) {
  Datagram datagram = {kChatId, sender, status};
  appendText(datagram, text);
  datagram.push_back(0);
  return datagram;
}

Datagram deathReport(uint8_t victim, uint8_t killer, uint8_t weapon) {
  return {kDeathId, victim, killer, weapon};
}

std::string hexDump(const Datagram& datagram) {
  std::string text;
  char byte[8];
  for (uint8_t value : datagram) {
    std::snprintf(byte, sizeof(byte), "%s0x%02x", text.empty() ? "" : " ", value);
    text += byte;
  }
  return text;
}

}  // namespace gsadmin::testing
