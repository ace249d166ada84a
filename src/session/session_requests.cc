// The session's side of the scripts' HTTP requests: each result becomes a
// call of its script's handler.

#include <utility>
#include <vector>

#include "session/admin_session.h"

namespace gsadmin {

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
