#include "context/session_context.h"
#include "moderation/moderation.h"
#include "panel/web_context.h"
#include "panel/web_json.h"

namespace gsadmin {
namespace {

constexpr size_t kAuditLines = 200;

}  // namespace

void answerFromLoop(WebContext& context, httplib::Response& response,
                    std::function<LoopAnswer()> work) {
  // The loop writes the answer before the call returns; work not started
  // in time is withdrawn and never writes it.
  auto answer = std::make_shared<LoopAnswer>();
  std::optional<std::string> done = context.queue.call(
      [answer, work = std::move(work)]() {
        *answer = work();
        return std::string();
      },
      kLoopAnswerTimeout);
  if (!done) {
    sendError(response, 503, "the client did not answer in time");
    return;
  }
  response.status = answer->status;
  response.set_header("Cache-Control", "no-store");
  response.set_content(answer->body, "application/json");
}

LoopAnswer moderationOff() {
  return {503, dump({{"error", "the moderation is off"}})};
}

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
    answerFromLoop(context, response, [&context]() -> LoopAnswer {
      Moderation* moderation = context.session.moderation();
      if (moderation == nullptr) return moderationOff();
      return {200, dump(bansJson(moderation->sanctions().activeBans(moderation->now())))};
    });
  });
  server.Get("/api/audit",
             [&context](const httplib::Request& request, httplib::Response& response) {
               if (!requireLogin(context, request, response, false)) return;
               answerFromLoop(context, response, [&context]() -> LoopAnswer {
                 Moderation* moderation = context.session.moderation();
                 if (moderation == nullptr) return moderationOff();
                 return {200, dump(auditJson(moderation->sanctions().lastAudit(kAuditLines)))};
               });
             });
}

}  // namespace gsadmin
