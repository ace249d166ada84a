#ifndef GSADMIN_PROTOCOL_CONNECTION_MESSAGES_H_
#define GSADMIN_PROTOCOL_CONNECTION_MESSAGES_H_

#include "protocol/body_reader.h"

namespace gsadmin {

class SessionContext;

// Inbound id 1: the server accepted the login.
void handleConnectionAccepted(SessionContext& session, const BodyReader& body);
// Inbound id 6: the server refused the login or ended the connection.
void handleDisconnect(SessionContext& session, const BodyReader& body);

}  // namespace gsadmin

#endif  // GSADMIN_PROTOCOL_CONNECTION_MESSAGES_H_
