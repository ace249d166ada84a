#ifndef GSADMIN_PROTOCOL_POSITION_MESSAGES_H_
#define GSADMIN_PROTOCOL_POSITION_MESSAGES_H_

#include "protocol/body_reader.h"

namespace gsadmin {

class SessionContext;

// Inbound id 10: position, health and vehicle of one player.
void handlePositionUpdate(SessionContext& session, const BodyReader& body);

}  // namespace gsadmin

#endif  // GSADMIN_PROTOCOL_POSITION_MESSAGES_H_
