#ifndef GSADMIN_PROTOCOL_DEATH_MESSAGES_H_
#define GSADMIN_PROTOCOL_DEATH_MESSAGES_H_

#include "protocol/body_reader.h"

namespace gsadmin {

class SessionContext;

// Inbound id 11: a death report.
void handleDeath(SessionContext& session, const BodyReader& body);

}  // namespace gsadmin

#endif  // GSADMIN_PROTOCOL_DEATH_MESSAGES_H_
