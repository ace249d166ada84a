#include "context/session_context.h"
#include "moderation/moderation.h"
#include "panel/web_context.h"
#include "panel/web_json.h"

namespace gsadmin {
namespace {

constexpr size_t kPanelAuditLines = 200;

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

namespace {

// Has the loop write what it recorded so far, waiting at most kWriteWait;
// a read after it sees everything answered before it.
void awaitRecordsWritten(WebContext& context) {
  SessionContext& session = context.session;
  context.queue.call(
      [&session]() {
        if (Moderation* moderation = session.moderation()) moderation->writeRecords();
        return std::string();
      },
      PanelReads::kWriteWait);
}

// The answer to a read past the limits, before it costs anything.
void refuseRead(ReadLimits::Refusal refusal, httplib::Response& response) {
  response.set_header("Retry-After", "1");
  if (refusal == ReadLimits::Refusal::kLoginBusy) {
    sendError(response, 429,
              "this login has " + std::to_string(ReadLimits::kPerLogin) +
                  " reads running already; try again when one is done");
  } else {
    sendError(response, 503,
              "the panel has " + std::to_string(ReadLimits::kInAll) +
                  " reads running already; try again shortly");
  }
}

}  // namespace

void answerFromReader(WebContext& context, const WebLogin& login, httplib::Response& response,
                      Freshness freshness, ReadWork work) {
  if (context.reads == nullptr) {
    LoopAnswer off = moderationOff();
    response.status = off.status;
    response.set_content(off.body, "application/json");
    return;
  }
  ReadLimits::Refusal refusal = ReadLimits::Refusal::kNone;
  std::shared_ptr<ReadSlot> slot = context.reads->limits.admit(login.token, &refusal);
  if (!slot) {
    refuseRead(refusal, response);
    return;
  }
  if (freshness == Freshness::kLatest) awaitRecordsWritten(context);
  // The work holds the read's place until a reader thread is done with it.
  std::optional<ReadAnswer> answer = context.reads->pool.run(
      [slot = std::move(slot), work = std::move(work)](ReadTools& tools) { return work(tools); },
      PanelReads::kWait);
  if (!answer) {
    sendError(response, 503, "the read did not finish in time");
    return;
  }
  response.status = answer->status;
  response.set_header("Cache-Control", "no-store");
  if (!answer->attachment.empty()) {
    response.set_header("Content-Disposition",
                        "attachment; filename=\"" + answer->attachment + "\"");
  }
  if (answer->nextBefore) response.set_header("X-Next-Before", std::to_string(*answer->nextBefore));
  response.set_content(answer->body, answer->contentType);
}

void addReadRoutes(RouteTable& server, WebContext& context) {
  server.get("/api/server",
             [&context](const httplib::Request& request, httplib::Response& response) {
               if (!requireLogin(context, request, response, false)) return;
               sendJson(response, 200, serverJson(*context.board.latest(), context.clock.nowMs()));
             });
  server.get("/api/players",
             [&context](const httplib::Request& request, httplib::Response& response) {
               if (!requireReader(context, request, response, "players")) return;
               sendJson(response, 200, playersJson(*context.board.latest()));
             });
  server.get("/api/bans", [&context](const httplib::Request& request, httplib::Response& response) {
    std::optional<WebLogin> login = requireReader(context, request, response, "bans");
    if (!login) return;
    // Read from the records, as the moderation reads its listing.
    answerFromReader(
        context, *login, response, Freshness::kLatest, [&context](ReadTools& tools) -> ReadAnswer {
          int64_t now = context.clock.wallSeconds();
          std::optional<std::vector<SanctionRecord>> bans = tools.sanctions.activeBans(now);
          if (!bans) return {503, dump({{"error", "the bans cannot be read"}})};
          return {200, dump(bansJson(*bans))};
        });
  });
  server.get(
      "/api/audit", [&context](const httplib::Request& request, httplib::Response& response) {
        std::optional<WebLogin> login = requireReader(context, request, response, "audit");
        if (!login) return;
        answerFromReader(
            context, *login, response, Freshness::kLatest, [](ReadTools& tools) -> ReadAnswer {
              return {200, dump(auditJson(tools.sanctions.lastAudit(kPanelAuditLines)))};
            });
      });
}

}  // namespace gsadmin
