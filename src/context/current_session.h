#ifndef GSADMIN_CONTEXT_CURRENT_SESSION_H_
#define GSADMIN_CONTEXT_CURRENT_SESSION_H_

namespace gsadmin {

class SessionContext;

// The process-wide session: the one global. Lua API functions have no other
// way to reach it. Set once by the entry point before the session runs (and
// by tests around their own sessions); null when none is set.
SessionContext* currentSession();

// `session` must remain live while it is current; pass null to clear.
void setCurrentSession(SessionContext* session);

}  // namespace gsadmin

#endif  // GSADMIN_CONTEXT_CURRENT_SESSION_H_
