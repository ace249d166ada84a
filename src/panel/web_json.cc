#include "panel/web_json.h"

namespace gsadmin {

using nlohmann::json;

std::string dump(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

json serverJson(const Snapshot& snapshot, uint64_t nowMs) {
  const ServerView& server = snapshot.server;
  json result = {
      {"name", server.name ? json(*server.name) : json(nullptr)},
      {"motd", server.motd ? json(*server.motd) : json(nullptr)},
      {"game", server.game},
      {"mode", server.mode},
      {"players", snapshot.players.size()},
      {"maxPlayers", server.maxPlayers},
      {"connected", server.connected},
      {"uptimeMs", snapshot.uptimeMs + (nowMs > snapshot.takenMs ? nowMs - snapshot.takenMs : 0)},
      {"lastDatagramAgeMs", nullptr},
  };
  if (snapshot.lastDatagramMs) {
    uint64_t last = *snapshot.lastDatagramMs;
    result["lastDatagramAgeMs"] = nowMs > last ? nowMs - last : 0;
  }
  return result;
}

json playersJson(const Snapshot& snapshot) {
  json players = json::array();
  for (const PlayerView& player : snapshot.players) {
    players.push_back({
        {"id", player.id},
        {"name", player.name},
        {"kills", player.kills},
        {"deaths", player.deaths},
        {"health", player.health},
        {"status", player.status},
        {"vehicle", player.vehicle ? json(*player.vehicle) : json(nullptr)},
        {"position", {player.x, player.y, player.z}},
    });
  }
  return players;
}

json consoleJson(const ConsoleEntry& entry) {
  return {{"seq", entry.seq}, {"text", entry.text}, {"error", entry.error}};
}

json bansJson(const std::vector<SanctionRecord>& bans) {
  json result = json::array();
  for (const SanctionRecord& ban : bans) {
    result.push_back({
        {"id", ban.id},
        {"time", ban.time},
        {"name", ban.name},
        {"kind", ban.kind},
        {"until", ban.until ? json(*ban.until) : json(nullptr)},
        {"reason", ban.reason},
        {"actor", ban.actor},
    });
  }
  return result;
}

json auditJson(const std::vector<AuditRecord>& lines) {
  json result = json::array();
  for (const AuditRecord& line : lines) {
    result.push_back({{"time", line.time},
                      {"actor", line.actor},
                      {"action", line.action},
                      {"target", line.target},
                      {"detail", line.detail}});
  }
  return result;
}

}  // namespace gsadmin
