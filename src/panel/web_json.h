#ifndef GSADMIN_PANEL_WEB_JSON_H_
#define GSADMIN_PANEL_WEB_JSON_H_

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "moderation/records.h"
#include "panel/chart_data.h"
#include "panel/console_ring.h"
#include "panel/snapshot.h"

namespace gsadmin {

// The panel's JSON documents. Texts from the network or the scripts may
// hold any bytes: dump() replaces invalid UTF-8 rather than failing.

// `value` as compact JSON text.
std::string dump(const nlohmann::json& value);

// The value, or null when it is absent.
template <typename T>
nlohmann::json orNull(const std::optional<T>& value) {
  return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

// /api/server: the server of `snapshot`, with the time since the last
// datagram reckoned at `nowMs` on the loop's clock.
nlohmann::json serverJson(const Snapshot& snapshot, uint64_t nowMs);
// The event stream's server: as serverJson, with wall times (seconds since
// the epoch) in place of ages, so that it stays true between events: "now"
// when taken, "clientStarted", and "lastDatagram" (null before the first).
nlohmann::json serverEventJson(const Snapshot& snapshot);
// /api/players: an array of the players by id.
nlohmann::json playersJson(const Snapshot& snapshot);
nlohmann::json consoleJson(const ConsoleEntry& entry);
// /api/bans and /api/audit.
nlohmann::json bansJson(const std::vector<SanctionRecord>& bans);
nlohmann::json auditJson(const std::vector<AuditRecord>& lines);
// Whole sanctions, as /api/history and the bans' search give them.
nlohmann::json sanctionsJson(const std::vector<SanctionRecord>& sanctions);

// /api/players/search: the players found, without their aliases.
nlohmann::json playerSearchJson(const std::vector<PlayerRecord>& players);

// What /api/history tells of one name: what ".seen" and ".history" show.
struct PlayerHistoryView {
  std::string name;                    // as asked
  std::optional<PlayerRecord> record;  // none: never seen on the server
  std::optional<int> online;           // the player's id when on the server now
  std::vector<SanctionRecord> sanctions;
  std::vector<NoteRecord> notes;
  std::vector<ChatRecord> chat;
};
nlohmann::json historyJson(const PlayerHistoryView& view);

// {"start": S, "step": SECONDS, "values": [...]}.
nlohmann::json seriesJson(const ChartSeries& series);

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_WEB_JSON_H_
