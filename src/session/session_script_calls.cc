// The calls the session's loop makes into scripts on its own account: the
// timers that are due, and the handlers of HTTP requests that ended.

#include <utility>
#include <vector>

#include "session/admin_session.h"

namespace gsadmin {

void AdminSession::runDueTimers() {
  // A stop request ends the round between two calls: with many timers due
  // at once the rest would keep a stopping client busy.
  timers_.runDue(
      clock_.nowMs(),
      [this](int64_t id, const std::string& functionName) {
        scripts_->fetchFunction(functionName);
        scripts_->pushInteger(static_cast<int32_t>(id));
        uint64_t owner = timers_.ownerOf(id).value_or(0);
        if (owner == 0) {
          scripts_->callFunction(1);  // a timer of the host's own
        } else if (Script* script = scripts_->findById(owner)) {
          scripts_->callFunctionIn(*script, 1);
        }  // else the console state's, gone with it: nothing to call
      },
      [this]() { return stop_ != nullptr && *stop_ != 0; });
}

void AdminSession::serveRequests() {
  if (http_->inFlight() == 0) return;
  for (HttpResult& result : http_->drive()) {
    // A script reloaded or stopped since has cancelled its requests; one
    // whose owner is gone all the same (the console's state) is dropped.
    Script* script = scripts_->findById(result.owner);
    if (script == nullptr || !script->loaded()) continue;
    std::vector<std::pair<std::string, std::string>> headers;
    headers.reserve(result.headers.size());
    for (HttpHeader& header : result.headers) {
      headers.emplace_back(std::move(header.name), std::move(header.value));
    }
    scripts_->fetchFunction(result.handler);
    scripts_->pushInteger(result.id);
    scripts_->pushInteger(result.status);
    scripts_->pushString(result.body);
    scripts_->pushFields(std::move(headers));
    scripts_->callFunctionIn(*script, 4);
  }
}

}  // namespace gsadmin
