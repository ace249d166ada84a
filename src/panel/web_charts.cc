// The panel's charts: players online over the last day, chat lines and
// kills per minute over the last hour or day.

#include <set>

#include "moderation/record_store.h"
#include "panel/chart_data.h"
#include "panel/web_context.h"
#include "panel/web_json.h"

namespace gsadmin {
namespace {

constexpr int64_t kPlayersStepSeconds = 600;
constexpr size_t kPlayersSteps = 24 * 6;  // a day

// On a reader thread: the charts over the last `minutes` minutes, with
// the players online as the latest snapshot has them. A chart that could
// not be read (no values) is not kept for the next request.
ReadAnswer charts(WebContext& context, ReadTools& tools, const std::string& range, size_t minutes) {
  if (std::optional<std::string> cached = context.reads->charts.find(range)) {
    return {200, *cached};
  }
  Database& database = tools.database;
  int64_t now = context.clock.wallSeconds();
  std::set<std::string> online;
  // Held for the loop: the board lets go of a snapshot when the next comes.
  std::shared_ptr<const Snapshot> snapshot = context.board.latest();
  for (const PlayerView& player : snapshot->players) online.insert(nameKey(player.name));
  ChartSeries players = playersOnline(database, now, kPlayersStepSeconds, kPlayersSteps, online,
                                      context.recordsServer);
  ChartSeries chat = perMinute(database, PerMinute::kChatLines, now, minutes);
  ChartSeries kills = perMinute(database, PerMinute::kKills, now, minutes);
  std::string body = dump({
      {"now", now},
      {"players", seriesJson(players)},
      {"chat", seriesJson(chat)},
      {"kills", seriesJson(kills)},
  });
  if (!players.values.empty() && !chat.values.empty() && !kills.values.empty()) {
    context.reads->charts.store(range, body);
  }
  return {200, std::move(body)};
}

}  // namespace

void addChartRoutes(RouteTable& server, WebContext& context) {
  server.get(
      "/api/charts", [&context](const httplib::Request& request, httplib::Response& response) {
        std::optional<WebLogin> login = requireLogin(context, request, response, false);
        if (!login) return;
        std::string range =
            request.has_param("range") ? request.get_param_value("range") : std::string("hour");
        if (range != "hour" && range != "day") {
          sendError(response, 400, "range is hour or day");
          return;
        }
        // A chart of the last minute is answered without a read.
        std::optional<std::string> cached;
        if (context.reads != nullptr) cached = context.reads->charts.find(range);
        if (cached) {
          response.set_header("Cache-Control", "no-store");
          response.set_content(*cached, "application/json");
          return;
        }
        size_t minutes = range == "hour" ? 60 : 24 * 60;
        answerFromReader(context, *login, response, Freshness::kRecent,
                         [&context, range, minutes](ReadTools& tools) {
                           return charts(context, tools, range, minutes);
                         });
      });
}

}  // namespace gsadmin
