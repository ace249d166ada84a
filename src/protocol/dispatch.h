#ifndef GSADMIN_PROTOCOL_DISPATCH_H_
#define GSADMIN_PROTOCOL_DISPATCH_H_

#include <array>
#include <cstddef>
#include <cstdint>

#include "protocol/body_reader.h"

namespace gsadmin {

class AdminSession;

// Handles one inbound message body. Runs on the session's thread, inside poll.
using MessageHandler = void (*)(AdminSession& session, const BodyReader& body);

constexpr uint8_t kFirstInboundId = 1;
constexpr uint8_t kLastInboundId = 29;
constexpr uint8_t kKeepAliveRequestId = 4;

// The routing table, indexed by id - 1. A null entry marks an ignored id.
const std::array<MessageHandler, kLastInboundId>& inboundHandlers();

// Routes one inbound message (id 1 to 29) to its handler; other ids and
// ignored ids do nothing. `body` is the datagram after its id byte and must
// remain live for the call.
void dispatchMessage(AdminSession& session, uint8_t id, const uint8_t* body, size_t length);

}  // namespace gsadmin

#endif  // GSADMIN_PROTOCOL_DISPATCH_H_
