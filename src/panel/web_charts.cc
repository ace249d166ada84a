// The panel's charts: players online over the last day, chat lines and
// kills per minute over the last hour or day.

#include <set>

#include "context/session_context.h"
#include "model/player.h"
#include "moderation/moderation.h"
#include "panel/chart_data.h"
#include "panel/web_context.h"
#include "panel/web_json.h"

namespace gsadmin {
namespace {

constexpr int64_t kPlayersStepSeconds = 600;
constexpr size_t kPlayersSteps = 24 * 6;  // a day

// On the loop: the charts over the last `minutes` minutes.
LoopAnswer charts(SessionContext& session, size_t minutes) {
  Moderation* moderation = session.moderation();
  if (moderation == nullptr) return moderationOff();
  Database& database = session.database();
  int64_t now = moderation->now();
  std::set<std::string> online;
  for (const auto& player : session.players().all()) online.insert(nameKey(player->name));
  nlohmann::json answer = {
      {"now", now},
      {"players",
       seriesJson(playersOnline(database, now, kPlayersStepSeconds, kPlayersSteps, online))},
      {"chat", seriesJson(perMinute(database, PerMinute::kChatLines, now, minutes))},
      {"kills", seriesJson(perMinute(database, PerMinute::kKills, now, minutes))},
  };
  return {200, dump(answer)};
}

}  // namespace

void addChartRoutes(httplib::Server& server, WebContext& context) {
  server.Get(
      "/api/charts", [&context](const httplib::Request& request, httplib::Response& response) {
        if (!requireLogin(context, request, response, false)) return;
        std::string range =
            request.has_param("range") ? request.get_param_value("range") : std::string("hour");
        if (range != "hour" && range != "day") {
          sendError(response, 400, "range is hour or day");
          return;
        }
        size_t minutes = range == "hour" ? 60 : 24 * 60;
        answerFromLoop(context, response,
                       [&context, minutes]() { return charts(context.session, minutes); });
      });
}

}  // namespace gsadmin
