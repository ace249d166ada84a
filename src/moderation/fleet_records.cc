#include "moderation/fleet_records.h"

#include <map>

namespace gsadmin {
namespace {

// A notice to the other clients, at once: the statements before it were
// not in a transaction, so they are committed already.
void notify(RecordStore& store, std::string payload) {
  if (!store.shared()) return;
  store.query("SELECT pg_notify(?, ?)",
              {DbValue::text(kChangesChannel), DbValue::text(std::move(payload))});
}

int64_t integerAt(const StatementResult& result, size_t row, size_t column) {
  return result.values[row * result.columns.size() + column].integerValue;
}

const std::string& textAt(const StatementResult& result, size_t row, size_t column) {
  return result.values[row * result.columns.size() + column].bytes;
}

}  // namespace

void FleetPresence::tick(int64_t nowSeconds, const std::vector<FleetPlayer>& players) {
  if (started_ == 0) started_ = nowSeconds;
  bool heartbeat = nowSeconds >= nextHeartbeat_;
  if (!heartbeat && !changed_) return;
  if (heartbeat) {
    store_.queue(
        "INSERT INTO gs_servers (name, heartbeat, started) VALUES (?, ?, ?)"
        " ON CONFLICT (name) DO UPDATE SET heartbeat = excluded.heartbeat,"
        " started = excluded.started",
        {DbValue::text(store_.serverName()), DbValue::integer(nowSeconds),
         DbValue::integer(started_)});
    nextHeartbeat_ = nowSeconds + kHeartbeatSeconds;
  }
  queuePlayers(players);
  changed_ = false;
}

void FleetPresence::queuePlayers(const std::vector<FleetPlayer>& players) {
  store_.queue("DELETE FROM gs_online WHERE server = ?", {DbValue::text(store_.serverName())});
  for (const FleetPlayer& player : players) {
    store_.queue(
        "INSERT INTO gs_online (server, player, name, kills, deaths) VALUES (?, ?, ?, ?, ?)",
        {DbValue::text(store_.serverName()), DbValue::integer(player.id),
         DbValue::text(boundedText(player.name, kMaxNameBytes)), DbValue::integer(player.kills),
         DbValue::integer(player.deaths)});
  }
}

void FleetPresence::stopped() {
  store_.queue("UPDATE gs_servers SET heartbeat = 0 WHERE name = ?",
               {DbValue::text(store_.serverName())});
  queuePlayers({});
}

std::string fleetRefusal(RecordStore& store, std::string_view server, int64_t nowSeconds) {
  StatementResult result = store.query("SELECT heartbeat FROM gs_servers WHERE name = ?",
                                       {DbValue::text(std::string(server))});
  if (result.error) return "cannot reach the fleet: " + *result.error;
  if (result.rowCount() == 0) return "no server of the fleet is named " + std::string(server);
  if (integerAt(result, 0, 0) < nowSeconds - kOfflineSeconds) {
    return "server " + std::string(server) + " is offline";
  }
  return "";
}

std::optional<int64_t> askFleet(RecordStore& store, const FleetRequest& request,
                                std::string* error) {
  StatementResult result = store.query(
      "INSERT INTO gs_requests (time, target, origin, actor, act) VALUES (?, ?, ?, ?, ?)"
      " RETURNING id",
      {DbValue::integer(request.time), DbValue::text(request.target), DbValue::text(request.origin),
       DbValue::text(request.actor), DbValue::text(request.act)});
  if (result.error || result.rowCount() != 1) {
    *error = "cannot reach the fleet: " + result.error.value_or("no request was made");
    return std::nullopt;
  }
  notify(store, kRequestNotice + request.target);
  return integerAt(result, 0, 0);
}

std::vector<FleetRequest> takeFleetRequests(RecordStore& store, std::string_view server,
                                            int64_t nowSeconds) {
  StatementResult waiting = store.query(
      "SELECT id, time, origin, actor, act FROM gs_requests"
      " WHERE target = ? AND state = 'waiting' ORDER BY id LIMIT 100",
      {DbValue::text(std::string(server))});
  std::vector<FleetRequest> taken;
  for (size_t row = 0; row < waiting.rowCount(); ++row) {
    FleetRequest request{integerAt(waiting, row, 0), integerAt(waiting, row, 1),
                         std::string(server),        textAt(waiting, row, 2),
                         textAt(waiting, row, 3),    textAt(waiting, row, 4)};
    // Only one pass, of one client, wins the row.
    StatementResult claimed =
        store.query("UPDATE gs_requests SET state = 'running' WHERE id = ? AND state = 'waiting'",
                    {DbValue::integer(request.id)});
    if (claimed.error || claimed.changes != 1) continue;
    if (request.time < nowSeconds - kRequestLifeSeconds) {
      answerFleet(store, request, "expired", "too late: the panel stopped waiting", nowSeconds);
      continue;
    }
    taken.push_back(std::move(request));
  }
  return taken;
}

void answerFleet(RecordStore& store, const FleetRequest& request, std::string_view state,
                 std::string_view answer, int64_t nowSeconds) {
  store.query("UPDATE gs_requests SET state = ?, answer = ?, answered = ? WHERE id = ?",
              {DbValue::text(std::string(state)), DbValue::text(boundedText(answer, kMaxTextBytes)),
               DbValue::integer(nowSeconds), DbValue::integer(request.id)});
  notify(store, kAnswerNotice + request.origin);
}

std::optional<FleetAnswer> fleetAnswer(RecordStore& store, int64_t id) {
  StatementResult result =
      store.query("SELECT state, answer FROM gs_requests WHERE id = ?", {DbValue::integer(id)});
  if (result.error || result.rowCount() != 1) return std::nullopt;
  return FleetAnswer{textAt(result, 0, 0), textAt(result, 0, 1)};
}

void purgeFleetRequests(RecordStore& store, int64_t nowSeconds) {
  store.queue("DELETE FROM gs_requests WHERE time < ?",
              {DbValue::integer(nowSeconds - kRequestKeepSeconds)});
}

std::optional<std::vector<FleetServer>> readFleet(Database& database, int64_t nowSeconds,
                                                  std::string* error) {
  StatementResult servers =
      database.run("SELECT name, heartbeat FROM gs_servers ORDER BY name", {});
  StatementResult players = database.run(
      "SELECT server, player, name, kills, deaths FROM gs_online ORDER BY server, player", {});
  const StatementResult& failed = servers.error ? servers : players;
  if (failed.error) {
    *error = *failed.error;
    return std::nullopt;
  }
  std::vector<FleetServer> fleet;
  std::map<std::string, size_t> byName;
  for (size_t row = 0; row < servers.rowCount(); ++row) {
    int64_t heartbeat = integerAt(servers, row, 1);
    byName[textAt(servers, row, 0)] = fleet.size();
    fleet.push_back(
        {textAt(servers, row, 0), heartbeat, heartbeat >= nowSeconds - kOfflineSeconds, {}});
  }
  for (size_t row = 0; row < players.rowCount(); ++row) {
    auto found = byName.find(textAt(players, row, 0));
    // A client that died leaves its players behind: none are shown offline.
    if (found == byName.end() || !fleet[found->second].online) continue;
    fleet[found->second].players.push_back({integerAt(players, row, 1), textAt(players, row, 2),
                                            integerAt(players, row, 3),
                                            integerAt(players, row, 4)});
  }
  return fleet;
}

}  // namespace gsadmin
