#include "context/current_session.h"

namespace gsadmin {
namespace {
SessionContext* g_session = nullptr;
}  // namespace

SessionContext* currentSession() {
  return g_session;
}

void setCurrentSession(SessionContext* session) {
  g_session = session;
}

}  // namespace gsadmin
