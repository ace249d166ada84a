// POST /api/actions and GET /api/actions/ID: each action carried out at
// most once, and answered with what became of it.

#include <chrono>
#include <memory>

#include "panel/web_actions.h"
#include "panel/web_context.h"
#include "panel/web_json.h"

namespace gsadmin {
namespace {

using nlohmann::json;

// How long a request waits for its action's outcome before it answers 202
// with the id to ask after.
constexpr std::chrono::milliseconds kActionAnswerWait{2000};
constexpr size_t kMaxIdBytes = 64;
constexpr size_t kRandomIdHexDigits = 32;

bool isIdText(const std::string& id) {
  if (id.empty() || id.size() > kMaxIdBytes) return false;
  for (char c : id) {
    bool letterOrDigit = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!letterOrDigit && c != '-' && c != '_' && c != '.' && c != ':') return false;
  }
  return true;
}

// The request's own id, or a fresh random one; nothing, with the reason in
// *error, when the given one is not an id.
std::optional<std::string> actionId(const json& body, std::string* error) {
  if (body.is_object() && body.contains("id")) {
    if (body["id"].is_string() && isIdText(body["id"].get<std::string>())) {
      return body["id"].get<std::string>();
    }
    *error = "an id is 1 to " + std::to_string(kMaxIdBytes) + " letters, digits or - _ . :";
    return std::nullopt;
  }
  std::string id = randomToken().substr(0, kRandomIdHexDigits);
  if (id.empty()) *error = "the client could not make an id";
  return id.empty() ? std::nullopt : std::optional<std::string>(id);
}

void sendOutcome(httplib::Response& response, int status, const std::string& id, const char* state,
                 const std::optional<std::string>& error, const std::string& note = "") {
  json body = {{"id", id}, {"state", state}};
  if (error) {
    body["error"] = *error;
  } else if (status == 200) {
    body["ok"] = true;
    if (!note.empty()) body["note"] = note;
  }
  sendJson(response, status, body);
}

// Answers with what became of the action `id` so far: done, not done (and
// why), or pending.
void answerOutcome(WebContext& context, httplib::Response& response, const std::string& id,
                   LoopTask& task) {
  task.withdrawIfLate(context.clock.nowMs());
  switch (task.state()) {
    case LoopTask::State::kWaiting:
    case LoopTask::State::kRunning:
      sendOutcome(response, 202, id, "pending", std::nullopt);
      return;
    case LoopTask::State::kWithdrawn:
      sendOutcome(response, 503, id, "not done",
                  std::string("not done: the client did not start it in time"));
      return;
    case LoopTask::State::kDone:
      break;
  }
  std::optional<std::string> refusal = task.result();
  if (!refusal) {
    // The work threw midway: what it did, the console tells.
    sendOutcome(response, 500, id, "failed", std::string("the action failed while it ran"));
  } else if (refusal->empty()) {
    sendOutcome(response, 200, id, "done", std::nullopt);
  } else if ((*refusal)[0] == kDoneNoteMark) {
    sendOutcome(response, 200, id, "done", std::nullopt, refusal->substr(1));
  } else {
    sendOutcome(response, 409, id, "not done", *refusal);
  }
}

void postAction(WebContext& context, const httplib::Request& request, httplib::Response& response) {
  std::optional<WebLogin> login = requireLogin(context, request, response, true);
  if (!login) return;
  json body = json::parse(request.body, nullptr, false);
  std::string error;
  std::optional<WebAction> action = parseWebAction(body, &error);
  if (!action) {
    sendError(response, 400, error);
    return;
  }
  if (body.contains("server") && !(body["server"].is_string() && body["server"].size() <= 64)) {
    sendError(response, 400, "\"server\" is a server's name");
    return;
  }
  std::string server = body.value("server", context.recordsServer);
  if (!server.empty() && server != context.recordsServer) {
    postFleetAction(context, *login, body, server, response);
    return;
  }
  std::optional<std::string> id = actionId(body, &error);
  if (!id) {
    sendError(response, body.contains("id") ? 400 : 503, error);
    return;
  }
  ActionOutcomes::Claimed claimed = context.outcomes.claim(
      login->name, *id, actionFingerprint(*action), [&context, &login, &action]() {
        uint64_t deadline = context.clock.nowMs() + kLoopAnswerTimeout.count();
        return context.queue.post(
            [&context, login = *login, action = *action]() {
              return carryOutWebAction(context.session, login, action, context.runTypedLine);
            },
            deadline);
      });
  if (claimed.claim == ActionOutcomes::Claim::kOtherAction) {
    sendOutcome(response, 409, *id, "not done", "the id " + *id + " names another action");
  } else if (claimed.claim == ActionOutcomes::Claim::kFull) {
    sendOutcome(response, 503, *id, "not done", std::string("too many actions are pending"));
  } else {
    claimed.task->waitFor(kActionAnswerWait);
    answerOutcome(context, response, *id, *claimed.task);
  }
}

}  // namespace

void addActionRoute(RouteTable& server, WebContext& context) {
  server.post("/api/actions",
              [&context](const httplib::Request& request, httplib::Response& response) {
                postAction(context, request, response);
              });
  server.get(R"(/api/actions/([^/]+))",
             [&context](const httplib::Request& request, httplib::Response& response) {
               std::optional<WebLogin> login = requireLogin(context, request, response, false);
               if (!login) return;
               std::string id = request.matches[1];
               std::shared_ptr<LoopTask> task =
                   isIdText(id) ? context.outcomes.find(login->name, id) : nullptr;
               if (task) {
                 answerOutcome(context, response, id, *task);
               } else {
                 sendError(response, 404, "no recent action of the account has that id");
               }
             });
}

}  // namespace gsadmin
