#include "moderation/player_history.h"

#include <algorithm>

#include "base/durations.h"
#include "moderation/record_search.h"

namespace gsadmin {
namespace {

DbValue text(std::string_view value, size_t maxBytes) {
  return DbValue::text(boundedText(value, maxBytes));
}

DbValue key(std::string_view name) {
  return DbValue::text(nameKey(name));
}

DbValue integer(int64_t value) {
  return DbValue::integer(value);
}

DbValue server(const RecordStore& store) {
  return DbValue::text(store.serverName());
}

// A LIMIT of `count`, at most `most`.
DbValue limit(size_t count, size_t most) {
  return DbValue::integer(static_cast<int64_t>(std::min(count, most)));
}

// Row r of a result, read column by column.
class RowReader {
 public:
  RowReader(const StatementResult& result, size_t row)
      : values_(result.values), at_(row * result.columns.size()) {}
  std::string text() { return values_[at_++].bytes; }
  int64_t integer() { return values_[at_++].integerValue; }
  std::optional<std::string> optionalText() {
    const DbValue& value = values_[at_++];
    if (value.type == DbValue::Type::kNull) return std::nullopt;
    return value.bytes;
  }

 private:
  const std::vector<DbValue>& values_;
  size_t at_;
};

std::vector<std::string> firstColumn(const StatementResult& result) {
  std::vector<std::string> names;
  for (size_t row = 0; row < result.rowCount(); ++row)
    names.push_back(RowReader(result, row).text());
  return names;
}

// Both select the columns of gs_players that PlayerRecord holds, in its
// order.
constexpr char kFindPlayer[] =
    "SELECT name, details, first_seen, last_seen, visits, seconds_played, kills, deaths,"
    " last_server FROM gs_players WHERE name_key = ?";
constexpr char kSearchPlayers[] =
    "SELECT name, details, first_seen, last_seen, visits, seconds_played, kills, deaths,"
    " last_server FROM gs_players WHERE name_key LIKE ? ESCAPE '\\' ORDER BY last_seen DESC, "
    "name_key"
    " LIMIT ?";

std::vector<PlayerRecord> readPlayers(const StatementResult& result) {
  std::vector<PlayerRecord> players;
  for (size_t row = 0; row < result.rowCount(); ++row) {
    RowReader reader(result, row);
    PlayerRecord player;
    player.name = reader.text();
    player.details = reader.text();
    player.firstSeen = reader.integer();
    player.lastSeen = reader.integer();
    player.visits = reader.integer();
    player.secondsPlayed = reader.integer();
    player.kills = reader.integer();
    player.deaths = reader.integer();
    player.lastServer = reader.text();
    players.push_back(std::move(player));
  }
  return players;
}

// The seconds up to `now` of the visits of `name` under way on this
// server: seconds_played counts a visit only once it has ended.
int64_t openVisitSeconds(RecordStore& store, std::string_view name, int64_t now) {
  StatementResult open = store.query(
      "SELECT joined FROM gs_sessions WHERE name_key = ? AND server = ? AND left_at IS NULL"
      " LIMIT 256",  // one a player id at most
      {key(name), server(store)});
  int64_t seconds = 0;
  for (size_t row = 0; row < open.rowCount(); ++row) {
    seconds += std::max<int64_t>(now - RowReader(open, row).integer(), 0);
  }
  return seconds;
}

}  // namespace

void PlayerHistory::visitStarted(std::string_view name, std::string_view details, int64_t now) {
  seen_.add(name);
  store_.queue(
      "INSERT INTO gs_players (name_key, name, details, first_seen, last_seen, visits,"
      " last_server) VALUES (?, ?, ?, ?, ?, 1, ?) ON CONFLICT (name_key) DO UPDATE SET"
      " name = excluded.name, details = excluded.details, last_seen = excluded.last_seen,"
      " visits = gs_players.visits + 1, last_server = excluded.last_server",
      {key(name), text(name, kMaxNameBytes), text(details, kMaxDetailsBytes), integer(now),
       integer(now), server(store_)});
  store_.queue("INSERT INTO gs_sessions (name_key, name, joined, server) VALUES (?, ?, ?, ?)",
               {key(name), text(name, kMaxNameBytes), integer(now), server(store_)});
}

void PlayerHistory::closeVisitsLeftOpen() {
  store_.queue("UPDATE gs_sessions SET left_at = joined WHERE server = ? AND left_at IS NULL",
               {server(store_)});
}

void PlayerHistory::visitEnded(std::string_view name, int64_t joined, int64_t now) {
  store_.queue(
      "UPDATE gs_sessions SET left_at = ? WHERE name_key = ? AND joined = ? AND left_at IS NULL",
      {integer(now), key(name), integer(joined)});
  store_.queue(
      "UPDATE gs_players SET seconds_played = seconds_played + ?, last_seen = ?, last_server = ?"
      " WHERE name_key = ?",
      {integer(std::max<int64_t>(now - joined, 0)), integer(now), server(store_), key(name)});
}

void PlayerHistory::deathRecorded(std::string_view victim, std::optional<std::string_view> killer,
                                  int64_t now) {
  // Inserts too: a death may come before the details reply that starts
  // the visit.
  seen_.add(victim);
  store_.queue(
      "INSERT INTO gs_players (name_key, name, first_seen, last_seen, deaths)"
      " VALUES (?, ?, ?, ?, 1) ON CONFLICT (name_key) DO UPDATE SET deaths = gs_players.deaths + 1",
      {key(victim), text(victim, kMaxNameBytes), integer(now), integer(now)});
  if (!killer || nameKey(*killer) == nameKey(victim)) return;
  seen_.add(*killer);
  store_.queue(
      "INSERT INTO gs_players (name_key, name, first_seen, last_seen, kills)"
      " VALUES (?, ?, ?, ?, 1) ON CONFLICT (name_key) DO UPDATE SET kills = gs_players.kills + 1",
      {key(*killer), text(*killer, kMaxNameBytes), integer(now), integer(now)});
  store_.queue(
      "INSERT INTO gs_kills (time, server, killer, victim) VALUES (?, ?, ?, ?)",
      {integer(now), server(store_), text(*killer, kMaxNameBytes), text(victim, kMaxNameBytes)});
}

void PlayerHistory::chatRecorded(std::string_view name, std::optional<std::string_view> recipient,
                                 std::string_view line, int64_t now) {
  store_.queue(
      "INSERT INTO gs_chat (time, name_key, name, recipient, text, server)"
      " VALUES (?, ?, ?, ?, ?, ?)",
      {integer(now), key(name), text(name, kMaxNameBytes),
       recipient ? text(*recipient, kMaxNameBytes) : DbValue::null(), text(line, kMaxTextBytes),
       server(store_)});
}

void PlayerHistory::expire(int64_t days, int64_t now) {
  // Nothing can be older than a span reaching back past the epoch.
  if (days <= 0 || days > now / kSecondsPerDay) return;
  int64_t cutoff = now - days * kSecondsPerDay;
  store_.queue("DELETE FROM gs_chat WHERE time < ?", {integer(cutoff)});
  store_.queue("DELETE FROM gs_kills WHERE time < ?", {integer(cutoff)});
  // joined never follows left_at, so the index on joined serves both.
  store_.queue("DELETE FROM gs_sessions WHERE joined < ? AND (left_at IS NULL OR left_at < ?)",
               {integer(cutoff), integer(cutoff)});
}

std::optional<PlayerRecord> PlayerHistory::find(std::string_view name, std::optional<int64_t> now) {
  StatementResult found = store_.query(kFindPlayer, {key(name)});
  std::vector<PlayerRecord> players = readPlayers(found);
  if (players.empty()) return std::nullopt;
  PlayerRecord& player = players.front();
  if (now) player.secondsPlayed += openVisitSeconds(store_, name, *now);
  if (detailsIdentify(player.details)) {
    StatementResult aliases = store_.query(
        "SELECT name FROM gs_players WHERE details = ? AND name_key <> ? ORDER BY name_key"
        " LIMIT ?",
        {DbValue::text(player.details), key(name), DbValue::integer(kMaxAliases)});
    player.aliases = firstColumn(aliases);
  }
  return std::move(player);
}

std::vector<std::string> PlayerHistory::namesWithDetails(std::string_view details) {
  if (!detailsIdentify(details)) return {};
  StatementResult names =
      store_.query("SELECT name FROM gs_players WHERE details = ? ORDER BY name_key LIMIT ?",
                   {text(details, kMaxDetailsBytes), DbValue::integer(kMaxAliases + 1)});
  return firstColumn(names);
}

std::vector<ChatRecord> PlayerHistory::lastChat(std::string_view name, size_t count) {
  StatementResult lines = store_.query(
      "SELECT time, name, recipient, text, server FROM gs_chat WHERE name_key = ?"
      " ORDER BY id DESC LIMIT ?",
      {key(name), limit(count, kMaxChatLines)});
  std::vector<ChatRecord> chat(lines.rowCount());
  // Newest first from the index; handed out oldest first.
  for (size_t row = 0; row < chat.size(); ++row) {
    RowReader reader(lines, row);
    ChatRecord& record = chat[chat.size() - 1 - row];
    record.time = reader.integer();
    record.name = reader.text();
    record.recipient = reader.optionalText();
    record.text = reader.text();
    record.server = reader.text();
  }
  return chat;
}

std::vector<PlayerRecord> PlayerHistory::search(std::string_view part, size_t count) {
  StatementResult found = store_.query(
      kSearchPlayers,
      {DbValue::text(containsPattern(nameKey(part))), limit(count, kMaxSearchResults)});
  return readPlayers(found);
}

std::vector<std::string> PlayerHistory::namesStartingWith(std::string_view start, size_t count) {
  count = std::min(count, kMaxStartingNames);
  std::vector<std::string> names = seen_.startingWith(start, count);
  if (store_.shared()) return names;
  // The keys from `key` up to (not including) the next start after it: a
  // range of the primary key's index. The file compares bytes.
  std::string key = nameKey(start);
  std::string next = key;
  while (!next.empty() && static_cast<unsigned char>(next.back()) == 0xFF) next.pop_back();
  if (!next.empty()) next.back() = static_cast<char>(next.back() + 1);
  DbValue most = DbValue::integer(static_cast<int64_t>(count));
  StatementResult found =
      next.empty() ? store_.query(
                         "SELECT name FROM gs_players WHERE name_key >= ? ORDER BY name_key"
                         " LIMIT ?",
                         {DbValue::text(key), most})
                   : store_.query(
                         "SELECT name FROM gs_players WHERE name_key >= ? AND name_key < ?"
                         " ORDER BY name_key LIMIT ?",
                         {DbValue::text(key), DbValue::text(next), most});
  for (std::string& name : firstColumn(found)) names.push_back(std::move(name));
  // Both may hold a name of this run: each key once, in key order, spelt
  // as this run last saw it (the file may not have it yet).
  std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return nameKey(a) < nameKey(b);
  });
  names.erase(std::unique(names.begin(), names.end(),
                          [](const std::string& a, const std::string& b) {
                            return nameKey(a) == nameKey(b);
                          }),
              names.end());
  if (names.size() > count) names.resize(count);
  return names;
}

}  // namespace gsadmin
