#include "context/session_context.h"
#include "moderation/moderation.h"
#include "panel/web_context.h"
#include "panel/web_json.h"

namespace gsadmin {
namespace {

constexpr size_t kAuditLines = 200;

// Answers with what `work` returns on the loop: its JSON text, or 503
// when the loop did not answer in time or the moderation is off.
void answerFromLoop(WebContext& context, httplib::Response& response,
                    std::function<std::string()> work) {
  std::optional<std::string> body = context.queue.call(std::move(work), kLoopAnswerTimeout);
  if (!body) {
    sendError(response, 503, "the client did not answer in time");
  } else if (body->empty()) {
    sendError(response, 503, "the moderation is off");
  } else {
    response.status = 200;
    response.set_header("Cache-Control", "no-store");
    response.set_content(*body, "application/json");
  }
}

}  // namespace

void addReadRoutes(httplib::Server& server, WebContext& context) {
  server.Get("/api/server",
             [&context](const httplib::Request& request, httplib::Response& response) {
               if (!requireLogin(context, request, response, false)) return;
               sendJson(response, 200, serverJson(*context.board.latest(), context.clock.nowMs()));
             });
  server.Get("/api/players",
             [&context](const httplib::Request& request, httplib::Response& response) {
               if (!requireLogin(context, request, response, false)) return;
               sendJson(response, 200, playersJson(*context.board.latest()));
             });
  server.Get("/api/bans", [&context](const httplib::Request& request, httplib::Response& response) {
    if (!requireLogin(context, request, response, false)) return;
    answerFromLoop(context, response, [&context]() -> std::string {
      Moderation* moderation = context.session.moderation();
      if (moderation == nullptr) return "";
      return dump(bansJson(moderation->sanctions().activeBans(moderation->now())));
    });
  });
  server.Get("/api/audit",
             [&context](const httplib::Request& request, httplib::Response& response) {
               if (!requireLogin(context, request, response, false)) return;
               answerFromLoop(context, response, [&context]() -> std::string {
                 Moderation* moderation = context.session.moderation();
                 if (moderation == nullptr) return "";
                 return dump(auditJson(moderation->sanctions().lastAudit(kAuditLines)));
               });
             });
}

}  // namespace gsadmin
