// GET /api/players/recent: the players seen lately, most recently first,
// so that the panel can act on those who have left.

#include <algorithm>

#include "panel/web_context.h"
#include "panel/web_json.h"

namespace gsadmin {
namespace {

constexpr int kDefaultRecentHours = 24;
constexpr int kMaxRecentHours = 24 * 7;
// At most this many players in one answer, however many were seen.
constexpr size_t kMaxRecentPlayers = 100;
constexpr int64_t kSecondsPerHour = 3600;

// The "hours" parameter, 1 to kMaxRecentHours; none after a 400.
std::optional<int> recentHours(const httplib::Request& request, httplib::Response& response) {
  if (!request.has_param("hours")) return kDefaultRecentHours;
  std::string text = request.get_param_value("hours");
  bool digits = !text.empty() && text.size() <= 3 &&
                std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  int hours = digits ? std::stoi(text) : 0;
  if (hours < 1 || hours > kMaxRecentHours) {
    sendError(response, 400, "hours is a number from 1 to " + std::to_string(kMaxRecentHours));
    return std::nullopt;
  }
  return hours;
}

}  // namespace

void addRecentRoute(RouteTable& server, WebContext& context) {
  server.get("/api/players/recent", [&context](const httplib::Request& request,
                                               httplib::Response& response) {
    std::optional<WebLogin> login = requireReader(context, request, response, "seen");
    if (!login) return;
    std::optional<int> hours = recentHours(request, response);
    if (!hours) return;
    int64_t since = context.clock.wallSeconds() - *hours * kSecondsPerHour;
    answerFromReader(
        context, *login, response, Freshness::kLatest, [since](ReadTools& tools) -> ReadAnswer {
          // Most recently seen first: those of the window lead.
          std::vector<PlayerRecord> players = tools.history.search("", kMaxRecentPlayers);
          std::erase_if(players,
                        [since](const PlayerRecord& player) { return player.lastSeen < since; });
          return {200, dump(playerSearchJson(players))};
        });
  });
}

}  // namespace gsadmin
