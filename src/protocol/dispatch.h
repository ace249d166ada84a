#ifndef GSADMIN_PROTOCOL_DISPATCH_H_
#define GSADMIN_PROTOCOL_DISPATCH_H_

#include <cstddef>
#include <cstdint>

#include "protocol/body_reader.h"

namespace gsadmin {

class SessionContext;

// Handles one inbound message body. Runs on the session's thread, inside poll.
using MessageHandler = void (*)(SessionContext& session, const BodyReader& body);

// Routes one inbound message to the handler its id names; ids without one
// are ignored. `body` is the datagram after its id byte and must remain live
// for the call.
void dispatchMessage(SessionContext& session, uint8_t id, const uint8_t* body, size_t length);

}  // namespace gsadmin

#endif  // GSADMIN_PROTOCOL_DISPATCH_H_
