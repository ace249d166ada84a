#include "session/current_session.h"

namespace gsadmin {
namespace {
AdminSession* g_session = nullptr;
}  // namespace

AdminSession* currentSession() {
  return g_session;
}

void setCurrentSession(AdminSession* session) {
  g_session = session;
}

}  // namespace gsadmin
