// The fleet in the panel: GET /api/fleet, and the actions on another
// server's players, carried out by that server's client.

#include <algorithm>
#include <chrono>
#include <memory>

#include "panel/fleet_desk.h"
#include "panel/web_context.h"
#include "panel/web_json.h"

namespace gsadmin {
namespace {

using nlohmann::json;

// How long the panel waits for the other client's answer, from the
// request's arrival: its act lands well within 2 s, a loop pass or two on
// either side.
constexpr std::chrono::milliseconds kFleetAnswerWait{2500};

void sendFleetOutcome(httplib::Response& response, int status, const json& body,
                      const std::string& server, const char* state, const std::string& text) {
  // The request's own id said back, when it is a text; it is not kept.
  const json* id = body.contains("id") && body["id"].is_string() ? &body["id"] : nullptr;
  json answer = {{"id", id ? *id : json("")}, {"state", state}, {"server", server}};
  if (status == 200) {
    answer["ok"] = true;
    answer["note"] = text;
  } else {
    answer["error"] = text;
  }
  sendJson(response, status, answer);
}

json fleetJson(const std::vector<FleetServer>& fleet, const std::string& here) {
  json servers = json::array();
  for (const FleetServer& server : fleet) {
    json players = json::array();
    for (const FleetPlayer& player : server.players) {
      players.push_back({{"id", player.id},
                         {"name", player.name},
                         {"kills", player.kills},
                         {"deaths", player.deaths},
                         {"server", server.name}});
    }
    servers.push_back({{"name", server.name},
                       {"online", server.online},
                       {"heartbeat", server.heartbeat},
                       {"players", players}});
  }
  return {{"server", here}, {"servers", servers}};
}

}  // namespace

void postFleetAction(WebContext& context, const WebLogin& login, const json& body,
                     const std::string& server, httplib::Response& response) {
  auto started = std::chrono::steady_clock::now();
  if (context.fleet == nullptr) {
    sendFleetOutcome(
        response, 409, body, server, "not done",
        "no server of the fleet is named " + server + ": this client's database is its own");
    return;
  }
  if (body.contains("action") && body["action"] == "command") {
    sendFleetOutcome(response, 409, body, server, "not done", kRemoteCommandRefusal);
    return;
  }
  auto wait = std::make_shared<FleetWait>();
  FleetDesk* fleet = context.fleet;
  std::optional<std::string> refusal =
      context.queue.call([fleet, server, login, action = dump(body),
                          wait]() { return fleet->ask(server, login, action, wait); },
                         kLoopAnswerTimeout);
  if (!refusal) {
    sendFleetOutcome(response, 503, body, server, "not done",
                     "not done: the client did not start it in time");
    return;
  }
  if (!refusal->empty()) {
    sendFleetOutcome(response, 409, body, server, "not done", *refusal);
    return;
  }
  auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started);
  std::optional<FleetAnswer> answer =
      wait->waitFor(std::max(kFleetAnswerWait - spent, std::chrono::milliseconds(0)));
  if (answer && answer->state == "done") {
    sendFleetOutcome(response, 200, body, server, "done", answer->answer);
  } else if (answer && answer->state == "refused") {
    sendFleetOutcome(response, 409, body, server, "not done", answer->answer);
  } else {
    sendFleetOutcome(
        response, 504, body, server, "no answer",
        "server " + server + " did not answer in time; its audit tells whether it was done");
  }
}

void addFleetRoute(RouteTable& server, WebContext& context) {
  server.get(
      "/api/fleet", [&context](const httplib::Request& request, httplib::Response& response) {
        std::optional<WebLogin> login = requireLogin(context, request, response, false);
        if (!login) return;
        answerFromReader(context, *login, response, Freshness::kRecent,
                         [&context](ReadTools& tools) -> ReadAnswer {
                           std::string error;
                           std::optional<std::vector<FleetServer>> fleet =
                               readFleet(tools.database, context.clock.wallSeconds(), &error);
                           if (!fleet) return {503, dump({{"error", "the fleet cannot be read"}})};
                           return {200, dump(fleetJson(*fleet, context.recordsServer))};
                         });
      });
}

}  // namespace gsadmin
