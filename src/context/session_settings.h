#ifndef GSADMIN_CONTEXT_SESSION_SETTINGS_H_
#define GSADMIN_CONTEXT_SESSION_SETTINGS_H_

#include <cstdint>
#include <optional>
#include <string>

#include "base/defaults.h"
#include "requests/http_client.h"

namespace gsadmin {

// What the built-in moderation keeps and enforces.
// How long each kind of record is kept (--keep, --history-days), in
// seconds; 0 keeps it for good. The audit and the sanctions are always kept.
struct RetentionSettings {
  static constexpr int64_t kDefaultSeconds = 90 * 24 * 3600;
  int64_t chatSeconds = kDefaultSeconds;
  int64_t visitsSeconds = kDefaultSeconds;
  int64_t killsSeconds = kDefaultSeconds;
  int64_t reportsSeconds = 0;
};

struct ModerationSettings {
  // Off: nothing recorded, nothing enforced, and the database stays closed
  // until a script uses it.
  bool enabled = true;
  // Chat and sessions older than this are deleted once a day; 0 keeps them.
  int64_t historyDays = 90;
  // What the daily purge deletes, in small steps (RetentionPurge).
  RetentionSettings retention;
  // This many active warnings kick; warnBan ban for warnBanSeconds.
  int64_t warnKick = 3;
  int64_t warnBan = 5;
  int64_t warnBanSeconds = 24 * 3600;
  // A warning stops counting this long after it was given.
  int64_t warnExpirySeconds = 7 * 24 * 3600;
  // Lets ".admin add" bind an admin where the server's details tell
  // players nothing apart: none, holding the name, or changing in a visit.
  bool trustNames = false;
  // This server's name in every record (--server-name); empty: the
  // server's ADDRESS:PORT.
  std::string serverName;
  // Where records for a shared database wait while it is away, across
  // exits and crashes (--journal); empty: in memory only.
  std::string journalPath;
  // Said after the reason of every ban message (--appeal-url): where a
  // banned player may appeal; empty: nothing said.
  std::string appealUrl;
  // A player may report once in this many seconds (--report-cooldown).
  int64_t reportCooldownSeconds = 60;
};

// The connection settings and the scripts' database file, fixed for the
// life of the session.
struct SessionSettings {
  std::string serverIP = defaults::kServerAddress;
  uint16_t serverPort = defaults::kAdminPort;
  std::string adminName = defaults::kAdminName;
  std::string adminPassword = defaults::kAdminPassword;
  // Who acts at the console (--operator), in the moderation's lines and
  // audit; absent: adminName.
  std::optional<std::string> operatorName;
  // The scripts' database: a file path or a PostgreSQL URI; absent:
  // "script.db" beside the script.
  std::optional<std::string> databasePath;
  // The PostgreSQL server's password, read from a file; never in the URI.
  std::optional<std::string> databasePassword;
  ModerationSettings moderation;
  // The client's version, as --version prints it, for the metrics.
  std::string version;
  // What the scripts' HTTP requests may reach, and how long they take.
  HttpSettings http;
};

}  // namespace gsadmin

#endif  // GSADMIN_CONTEXT_SESSION_SETTINGS_H_
