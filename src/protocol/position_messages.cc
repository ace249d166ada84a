#include "protocol/position_messages.h"

#include "session/admin_session.h"

namespace gsadmin {

void handlePositionUpdate(AdminSession&, const BodyReader&) {}

}  // namespace gsadmin
