#include "panel/web_json.h"

namespace gsadmin {

using nlohmann::json;

namespace {

// A player's record without its aliases.
json recordJson(const PlayerRecord& player) {
  return {{"name", player.name},
          {"firstSeen", player.firstSeen},
          {"lastSeen", player.lastSeen},
          {"visits", player.visits},
          {"secondsPlayed", player.secondsPlayed},
          {"kills", player.kills},
          {"deaths", player.deaths}};
}

json sanctionJson(const SanctionRecord& sanction) {
  return {{"id", sanction.id},
          {"time", sanction.time},
          {"name", sanction.name},
          {"kind", sanction.kind},
          {"seconds", sanction.seconds},
          {"until", orNull(sanction.until)},
          {"reason", sanction.reason},
          {"actor", sanction.actor},
          {"lifted", orNull(sanction.lifted)},
          {"server", sanction.server}};
}

}  // namespace

std::string dump(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

// The fields the server's two shapes share.
json serverFields(const Snapshot& snapshot) {
  const ServerView& server = snapshot.server;
  return {
      {"name", server.name ? json(*server.name) : json(nullptr)},
      {"motd", server.motd ? json(*server.motd) : json(nullptr)},
      {"game", server.game},
      {"mode", server.mode},
      {"players", snapshot.players.size()},
      {"maxPlayers", server.maxPlayers},
      {"connected", server.connected},
  };
}

json serverJson(const Snapshot& snapshot, uint64_t nowMs) {
  json result = serverFields(snapshot);
  result["uptimeMs"] =
      snapshot.uptimeMs + (nowMs > snapshot.takenMs ? nowMs - snapshot.takenMs : 0);
  result["lastDatagramAgeMs"] = nullptr;
  if (snapshot.lastDatagramMs) {
    uint64_t last = *snapshot.lastDatagramMs;
    result["lastDatagramAgeMs"] = nowMs > last ? nowMs - last : 0;
  }
  return result;
}

json serverEventJson(const Snapshot& snapshot) {
  int64_t now = snapshot.wallSeconds;
  json result = serverFields(snapshot);
  result["now"] = now;
  result["clientStarted"] = now - static_cast<int64_t>(snapshot.uptimeMs / 1000);
  result["lastDatagram"] = nullptr;
  if (snapshot.lastDatagramMs) {
    uint64_t age = snapshot.takenMs > *snapshot.lastDatagramMs
                       ? snapshot.takenMs - *snapshot.lastDatagramMs
                       : 0;
    result["lastDatagram"] = now - static_cast<int64_t>(age / 1000);
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
  json line = {{"seq", entry.seq}, {"text", entry.text}, {"error", entry.error}};
  if (entry.time != 0) line["time"] = entry.time;
  return line;
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
        {"server", ban.server},
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
                      {"detail", line.detail},
                      {"server", line.server},
                      {"id", line.id},
                      {"sanction", orNull(line.sanction)}});
  }
  return result;
}

json sanctionsJson(const std::vector<SanctionRecord>& sanctions) {
  json result = json::array();
  for (const SanctionRecord& sanction : sanctions) result.push_back(sanctionJson(sanction));
  return result;
}

json playerSearchJson(const std::vector<PlayerRecord>& players) {
  json result = json::array();
  for (const PlayerRecord& player : players) result.push_back(recordJson(player));
  return result;
}

json historyJson(const PlayerHistoryView& view) {
  json sanctions = json::array(), notes = json::array(), chat = json::array();
  for (const SanctionRecord& sanction : view.sanctions) sanctions.push_back(sanctionJson(sanction));
  for (const NoteRecord& note : view.notes) {
    notes.push_back({{"time", note.time}, {"actor", note.actor}, {"text", note.text}});
  }
  for (const ChatRecord& line : view.chat) {
    chat.push_back({{"time", line.time},
                    {"recipient", orNull(line.recipient)},
                    {"text", line.text},
                    {"server", line.server}});
  }
  return {{"name", view.name},
          {"player", view.record ? recordJson(*view.record) : json(nullptr)},
          {"online", orNull(view.online)},
          {"aliases", view.record ? json(view.record->aliases) : json::array()},
          {"sanctions", sanctions},
          {"notes", notes},
          {"chat", chat}};
}

json seriesJson(const ChartSeries& series) {
  return {{"start", series.start}, {"step", series.step}, {"values", series.values}};
}

}  // namespace gsadmin
