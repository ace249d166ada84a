#include "protocol/dispatch.h"

#include "protocol/chat_messages.h"
#include "protocol/connection_messages.h"
#include "protocol/death_messages.h"
#include "protocol/outbound.h"
#include "protocol/player_messages.h"
#include "protocol/position_messages.h"
#include "session/admin_session.h"

namespace gsadmin {
namespace {

// The whole handling of a keep-alive request is the answer.
void answerKeepAlive(AdminSession& session, const BodyReader&) {
  session.send(buildKeepAliveAnswer());
}

constexpr std::array<MessageHandler, kLastInboundId> kInboundHandlers = {
    handleConnectionAccepted,  // 1
    nullptr,                   // 2
    handleChat,                // 3
    answerKeepAlive,           // 4
    nullptr,                   // 5
    handleDisconnect,          // 6
    nullptr,                   // 7
    handlePlayerJoined,        // 8
    handlePlayerLeft,          // 9
    handlePositionUpdate,      // 10
    handleDeath,               // 11
    nullptr,                   // 12
    nullptr,                   // 13
    nullptr,                   // 14
    nullptr,                   // 15
    nullptr,                   // 16
    nullptr,                   // 17
    nullptr,                   // 18
    nullptr,                   // 19
    nullptr,                   // 20
    nullptr,                   // 21
    nullptr,                   // 22
    nullptr,                   // 23
    nullptr,                   // 24
    nullptr,                   // 25
    nullptr,                   // 26
    nullptr,                   // 27
    nullptr,                   // 28
    handlePlayerDetails,       // 29
};

}  // namespace

const std::array<MessageHandler, kLastInboundId>& inboundHandlers() {
  return kInboundHandlers;
}

void dispatchMessage(AdminSession& session, uint8_t id, const uint8_t* body, size_t length) {
  if (id < kFirstInboundId || id > kLastInboundId) return;
  MessageHandler handler = kInboundHandlers[id - 1];
  if (handler == nullptr) return;
  handler(session, BodyReader(body, length));
}

}  // namespace gsadmin
