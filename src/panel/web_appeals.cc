// GET /api/appeals: the open appeals, for the panel's Appeals page; read
// on the loop, as ".appeals" reads them. They are decided through POST
// /api/actions ("appeal accept", "appeal reject").

#include "context/session_context.h"
#include "moderation/listings.h"
#include "moderation/moderation.h"
#include "panel/web_context.h"
#include "panel/web_json.h"

namespace gsadmin {
namespace {

using nlohmann::json;

LoopAnswer appealListAnswer(Moderation& moderation) {
  std::optional<std::vector<AppealRecord>> appeals = moderation.appeals().unanswered(kMaxListed);
  if (!appeals) return {503, dump({{"error", "the appeals cannot be read"}})};
  json list = json::array();
  for (const AppealRecord& appeal : *appeals) {
    list.push_back({{"id", appeal.id},
                    {"time", appeal.time},
                    {"ban", appeal.sanction},
                    {"name", appeal.name},
                    {"text", appeal.text},
                    {"state", appeal.state},
                    {"server", appeal.server}});
  }
  return {200, dump({{"appeals", std::move(list)}})};
}

}  // namespace

void addAppealRoutes(RouteTable& server, WebContext& context) {
  server.get("/api/appeals",
             [&context](const httplib::Request& request, httplib::Response& response) {
               if (!requireReader(context, request, response, "appeals")) return;
               SessionContext& session = context.session;
               answerFromLoop(context, response, [&session]() -> LoopAnswer {
                 Moderation* moderation = session.moderation();
                 return moderation ? appealListAnswer(*moderation) : moderationOff();
               });
             });
}

}  // namespace gsadmin
