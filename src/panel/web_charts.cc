// The panel's charts: players online over the last day (of this server,
// another of the fleet, or all of them), chat lines and kills per minute
// over the last hour or day.

#include <set>

#include "moderation/fleet_records.h"
#include "moderation/record_store.h"
#include "panel/chart_data.h"
#include "panel/web_context.h"
#include "panel/web_json.h"

namespace gsadmin {
namespace {

constexpr int64_t kPlayersStepSeconds = 600;
constexpr size_t kPlayersSteps = 24 * 6;  // a day
// The server a chart names for every server of the fleet at once.
constexpr char kAllServers[] = "all";

// The charts' cache key of a range and a server.
std::string chartKey(const std::string& range, const std::string& server) {
  return range + "\n" + server;
}

// The players-online series of the servers `chosen` names: this client's
// own (""), another server of the fleet, or "all" of them summed. Another
// server's players on now are its players in the fleet's tables. Nothing,
// with *error, for a server the fleet does not have.
std::optional<ChartSeries> playersOf(WebContext& context, Database& database, int64_t now,
                                     const std::string& chosen, std::string* error) {
  std::set<std::string> online;
  // Held for the loop: the board lets go of a snapshot when the next comes.
  std::shared_ptr<const Snapshot> snapshot = context.board.latest();
  for (const PlayerView& player : snapshot->players) online.insert(nameKey(player.name));
  const std::string& here = context.recordsServer;
  if (chosen.empty() || chosen == here) {
    return playersOnline(database, now, kPlayersStepSeconds, kPlayersSteps, online, here);
  }
  std::optional<std::vector<FleetServer>> fleet = readFleet(database, now, error);
  if (!fleet) return std::nullopt;
  std::vector<ChartSeries> series;
  if (chosen == kAllServers) {
    series.push_back(
        playersOnline(database, now, kPlayersStepSeconds, kPlayersSteps, online, here));
  }
  for (const FleetServer& server : *fleet) {
    if (server.name == here || (chosen != kAllServers && server.name != chosen)) continue;
    std::set<std::string> theirs;
    for (const FleetPlayer& player : server.players) theirs.insert(nameKey(player.name));
    series.push_back(
        playersOnline(database, now, kPlayersStepSeconds, kPlayersSteps, theirs, server.name));
  }
  if (series.empty()) {
    *error = "no server of the fleet is named " + chosen;
    return std::nullopt;
  }
  return sumOf(series);
}

// On a reader thread: the charts over the last `minutes` minutes, the
// players online those of `server` (playersOf). A chart that could not be
// read (no values) is not kept for the next request.
ReadAnswer charts(WebContext& context, ReadTools& tools, const std::string& range, size_t minutes,
                  const std::string& server) {
  std::string key = chartKey(range, server);
  if (std::optional<std::string> cached = context.reads->charts.find(key)) {
    return {200, *cached};
  }
  Database& database = tools.database;
  int64_t now = context.clock.wallSeconds();
  std::string error;
  std::optional<ChartSeries> players = playersOf(context, database, now, server, &error);
  if (!players) return {404, dump({{"error", error}})};
  ChartSeries chat = perMinute(database, PerMinute::kChatLines, now, minutes);
  ChartSeries kills = perMinute(database, PerMinute::kKills, now, minutes);
  std::string body = dump({
      {"now", now},
      {"players", seriesJson(*players)},
      {"chat", seriesJson(chat)},
      {"kills", seriesJson(kills)},
  });
  if (!players->values.empty() && !chat.values.empty() && !kills.values.empty()) {
    context.reads->charts.store(key, body);
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
        std::string server = request.has_param("server") ? request.get_param_value("server") : "";
        if (server.size() > kMaxNameBytes) {
          sendError(response, 400, "server is a server's name, or all");
          return;
        }
        // A chart of the last minute is answered without a read.
        std::optional<std::string> cached;
        if (context.reads != nullptr) cached = context.reads->charts.find(chartKey(range, server));
        if (cached) {
          response.set_header("Cache-Control", "no-store");
          response.set_content(*cached, "application/json");
          return;
        }
        size_t minutes = range == "hour" ? 60 : 24 * 60;
        answerFromReader(context, *login, response, Freshness::kRecent,
                         [&context, range, minutes, server](ReadTools& tools) {
                           return charts(context, tools, range, minutes, server);
                         });
      });
}

}  // namespace gsadmin
