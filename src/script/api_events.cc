#include "context/session_context.h"
#include "script/api_args.h"
#include "script/api_functions.h"
#include "script/event_manager.h"

namespace gsadmin::api {
namespace {

// Both functions check the same way; returns false after any refusal.
bool handlerArguments(const ApiCall& call, std::string& eventName, std::string& functionName) {
  if (call.argumentCount() < 2) return false;
  if (!call.isString(1)) {
    call.refuse("Invalid argument #1.");
    return false;
  }
  if (!call.isString(2)) {
    call.refuse("Invalid argument #2.");
    return false;
  }
  eventName = call.text(1);
  functionName = call.text(2);
  return true;
}

}  // namespace

int addEventHandler(lua_State* L) {
  ApiCall call(L);
  std::string eventName, functionName;
  if (!handlerArguments(call, eventName, functionName)) return 0;
  if (SessionContext* session = call.session()) session->addEventHandler(eventName, functionName);
  return 0;
}

int removeEventHandler(lua_State* L) {
  ApiCall call(L);
  std::string eventName, functionName;
  if (!handlerArguments(call, eventName, functionName)) return 0;
  if (SessionContext* session = call.session()) {
    session->removeEventHandler(eventName, functionName);
  }
  return 0;
}

}  // namespace gsadmin::api
