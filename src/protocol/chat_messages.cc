#include "protocol/chat_messages.h"

#include "session/admin_session.h"

namespace gsadmin {

void handleChat(AdminSession&, const BodyReader&) {}

}  // namespace gsadmin
