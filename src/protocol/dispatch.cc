#include "protocol/dispatch.h"

#include <array>

#include "context/session_context.h"
#include "protocol/chat_messages.h"
#include "protocol/connection_messages.h"
#include "protocol/death_messages.h"
#include "protocol/outbound.h"
#include "protocol/player_messages.h"
#include "protocol/position_messages.h"
#include "protocol/wire.h"

namespace gsadmin {
namespace {

// The whole handling of a keep-alive request is the answer.
void answerKeepAlive(SessionContext& session, const BodyReader&) {
  session.send(buildKeepAliveAnswer());
}

struct Route {
  uint8_t id;
  MessageHandler handler;
};

// Every id the client handles; all others are ignored.
constexpr Route kRoutes[] = {
    {wire::kConnectionAcceptedId, handleConnectionAccepted},
    {wire::kChatId, handleChat},
    {wire::kKeepAliveRequestId, answerKeepAlive},
    {wire::kDisconnectId, handleDisconnect},
    {wire::kPlayerJoinedId, handlePlayerJoined},
    {wire::kPlayerLeftId, handlePlayerLeft},
    {wire::kPositionUpdateId, handlePositionUpdate},
    {wire::kDeathId, handleDeath},
    {wire::kPlayerDetailsId, handlePlayerDetails},
};

// The rows spread over every byte value, so that a datagram finds its
// handler in one step rather than by a walk over the rows.
constexpr std::array<MessageHandler, 256> handlersById() {
  std::array<MessageHandler, 256> table{};
  for (const Route& route : kRoutes) table[route.id] = route.handler;
  return table;
}

constexpr std::array<MessageHandler, 256> kHandlersById = handlersById();

}  // namespace

void dispatchMessage(SessionContext& session, uint8_t id, const uint8_t* body, size_t length) {
  if (MessageHandler handler = kHandlersById[id]) handler(session, BodyReader(body, length));
}

}  // namespace gsadmin
