#include "protocol/connection_messages.h"

#include "session/admin_session.h"

namespace gsadmin {

void handleConnectionAccepted(AdminSession&, const BodyReader&) {}

void handleDisconnect(AdminSession&, const BodyReader&) {}

}  // namespace gsadmin
