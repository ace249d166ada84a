#include "protocol/outbound.h"

#include "context/session_context.h"

namespace gsadmin {

using namespace wire;

std::vector<uint8_t> buildLogin(std::string_view adminName, std::string_view adminPassword) {
  std::vector<uint8_t> datagram = {kLoginId, kLoginVersion, kLoginMarker};
  datagram.reserve(5 + adminName.size() + adminPassword.size());
  datagram.insert(datagram.end(), adminName.begin(), adminName.end());
  datagram.push_back(kLoginSeparator);
  datagram.insert(datagram.end(), adminPassword.begin(), adminPassword.end());
  datagram.push_back(0x00);
  return datagram;
}

std::vector<uint8_t> buildKeepAliveAnswer() {
  return {kKeepAliveAnswerId, 0x00};
}

std::vector<uint8_t> buildPlayerDetailsRequest(uint8_t playerId) {
  return {kPlayerDetailsRequestId, playerId};
}

std::vector<uint8_t> buildChatFrame(std::string_view text) {
  if (text.size() > kMaxChatText) text = text.substr(0, kMaxChatText);
  std::vector<uint8_t> datagram = {kChatFrameId, kChatFrameChannel};
  datagram.reserve(3 + text.size());
  datagram.insert(datagram.end(), text.begin(), text.end());
  datagram.push_back(0x00);
  return datagram;
}

std::vector<uint8_t> buildKickRequest(uint8_t playerId) {
  return {kKickRequestId, playerId, 0x00};
}

std::vector<uint8_t> buildBanRequest(uint8_t playerId) {
  return {kBanRequestId, playerId, 0x00};
}

void sendPlayerDetailsRequest(SessionContext& session, uint8_t playerId) {
  session.send(buildPlayerDetailsRequest(playerId));
}

}  // namespace gsadmin
