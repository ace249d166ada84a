#include "moderation/schema.h"

namespace gsadmin {
namespace {

// Names are kept as typed and, in name_key, in lower case (see nameKey).
const char* const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS gs_schema (version INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS gs_players ("
    " name_key TEXT PRIMARY KEY, name TEXT NOT NULL, details TEXT NOT NULL DEFAULT '',"
    " first_seen INTEGER NOT NULL, last_seen INTEGER NOT NULL,"
    " visits INTEGER NOT NULL DEFAULT 0, seconds_played INTEGER NOT NULL DEFAULT 0,"
    " kills INTEGER NOT NULL DEFAULT 0, deaths INTEGER NOT NULL DEFAULT 0)",
    "CREATE INDEX IF NOT EXISTS gs_players_details ON gs_players (details)",
    // One row a visit; left_at stays NULL while the player is on.
    "CREATE TABLE IF NOT EXISTS gs_sessions ("
    " id INTEGER PRIMARY KEY, name_key TEXT NOT NULL, name TEXT NOT NULL,"
    " joined INTEGER NOT NULL, left_at INTEGER)",
    "CREATE INDEX IF NOT EXISTS gs_sessions_name ON gs_sessions (name_key, joined)",
    "CREATE INDEX IF NOT EXISTS gs_sessions_joined ON gs_sessions (joined)",
    // recipient is NULL for public chat.
    "CREATE TABLE IF NOT EXISTS gs_chat ("
    " id INTEGER PRIMARY KEY, time INTEGER NOT NULL, name_key TEXT NOT NULL,"
    " name TEXT NOT NULL, recipient TEXT, text TEXT NOT NULL)",
    "CREATE INDEX IF NOT EXISTS gs_chat_name ON gs_chat (name_key, id)",
    "CREATE INDEX IF NOT EXISTS gs_chat_time ON gs_chat (time)",
    // until: when a ban or a warning stops holding, NULL for a permanent
    // ban; lifted: when an unban ended it.
    "CREATE TABLE IF NOT EXISTS gs_sanctions ("
    " id INTEGER PRIMARY KEY, time INTEGER NOT NULL, name_key TEXT NOT NULL,"
    " name TEXT NOT NULL, kind TEXT NOT NULL, seconds INTEGER NOT NULL DEFAULT 0,"
    " until INTEGER, reason TEXT NOT NULL DEFAULT '', actor TEXT NOT NULL, lifted INTEGER)",
    "CREATE INDEX IF NOT EXISTS gs_sanctions_name ON gs_sanctions (name_key, id)",
    "CREATE TABLE IF NOT EXISTS gs_notes ("
    " id INTEGER PRIMARY KEY, time INTEGER NOT NULL, name_key TEXT NOT NULL,"
    " name TEXT NOT NULL, actor TEXT NOT NULL, text TEXT NOT NULL)",
    "CREATE INDEX IF NOT EXISTS gs_notes_name ON gs_notes (name_key, id)",
    "CREATE TABLE IF NOT EXISTS gs_admins ("
    " name_key TEXT PRIMARY KEY, name TEXT NOT NULL, details TEXT NOT NULL,"
    " level INTEGER NOT NULL, added_by TEXT NOT NULL, added INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS gs_audit ("
    " id INTEGER PRIMARY KEY, time INTEGER NOT NULL, actor TEXT NOT NULL,"
    " action TEXT NOT NULL, target TEXT NOT NULL, detail TEXT NOT NULL DEFAULT '')",
};

}  // namespace

std::span<const char* const> moderationSchema() {
  return kSchema;
}

}  // namespace gsadmin
