#ifndef GSADMIN_SCRIPT_API_INVOKER_H_
#define GSADMIN_SCRIPT_API_INVOKER_H_

#include <span>

#include "script/api.h"
#include "script/script_manager.h"

namespace gsadmin {

// Calls functions of the script API from C++ exactly as a script would, so
// that the operator's console goes through the same checks, diagnostics and
// datagrams. The calls run in a small private Lua state (no libraries, no
// script), owned by the invoker for its whole life, bound to `session`
// (which must outlive the invoker) as a script's state is.
class ApiInvoker {
 public:
  explicit ApiInvoker(SessionContext* session) : session_(session) {}
  ApiInvoker(const ApiInvoker&) = delete;
  ApiInvoker& operator=(const ApiInvoker&) = delete;

  // Calls `body`, one of the API functions (script/api_functions.h), with
  // `arguments`, inside a protected call, and drops its results. False when
  // the state could not be made or ran out of memory.
  bool call(lua_CFunction body, std::span<const ScriptArgument> arguments);

 private:
  SessionContext* session_;
  LuaStatePtr state_;  // made by the first call
};

}  // namespace gsadmin

#endif  // GSADMIN_SCRIPT_API_INVOKER_H_
