#include <string>
#include <string_view>

#include "console/printable.h"
#include "context/session_context.h"
#include "events/events.h"
#include "script/api_args.h"
#include "script/api_functions.h"
#include "script/event_manager.h"

namespace gsadmin::api {
namespace {

// A name argument: a string (a number counts) of at most kMaxNameBytes.
// The view is taken before any check that could refuse, since converting
// a number may raise.
bool nameArgument(const ApiCall& call, int index, std::string_view* name) {
  if (!call.isString(index)) return false;
  *name = call.textView(index);
  return name->size() <= ApiCall::kMaxNameBytes;
}

// Both functions check the same way; returns false after any refusal. The
// names point into the Lua strings of the arguments.
bool handlerArguments(const ApiCall& call, std::string_view* eventName,
                      std::string_view* functionName) {
  if (call.argumentCount() < 2) return false;
  if (!nameArgument(call, 1, eventName)) {
    call.refuse("Invalid argument #1.");
    return false;
  }
  if (!nameArgument(call, 2, functionName)) {
    call.refuse("Invalid argument #2.");
    return false;
  }
  return true;
}

}  // namespace

int addEventHandler(lua_State* L) {
  ApiCall call(L);
  std::string_view eventName, functionName;
  if (!handlerArguments(call, &eventName, &functionName)) return 0;
  SessionContext* session = call.session();
  if (session == nullptr) return 0;
  if (!session->addEventHandler(call.scriptId(), eventName, functionName)) {
    return call.refuse("Too many handlers.");
  }
  // Kept all the same (a script may fire nothing else with it, or rely on
  // it), but a misspelt event is worth a word.
  if (!eventNamed(eventName)) {
    call.console().errorLine("addEventHandler: no event is named '" +
                             printable(std::string(eventName)) + "'");
  }
  return 0;
}

int removeEventHandler(lua_State* L) {
  ApiCall call(L);
  std::string_view eventName, functionName;
  if (!handlerArguments(call, &eventName, &functionName)) return 0;
  if (SessionContext* session = call.session()) {
    session->removeEventHandler(call.scriptId(), eventName, functionName);
  }
  return 0;
}

}  // namespace gsadmin::api
