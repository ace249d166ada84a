#ifndef GSADMIN_MODERATION_RECORDS_H_
#define GSADMIN_MODERATION_RECORDS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace gsadmin {

// What the moderation tables hold, as the queries hand it out. Times are
// seconds since the epoch.

// The kinds of sanction, as stored and as "onPlayerSanctioned" names them.
inline constexpr char kSanctionWarn[] = "warn";
inline constexpr char kSanctionKick[] = "kick";
inline constexpr char kSanctionTempban[] = "tempban";
inline constexpr char kSanctionBan[] = "ban";
inline constexpr char kSanctionUnban[] = "unban";

struct PlayerRecord {
  std::string name;     // as last seen
  std::string details;  // the server's details text, as last seen
  int64_t firstSeen = 0;
  int64_t lastSeen = 0;
  int64_t visits = 0;
  int64_t secondsPlayed = 0;
  int64_t kills = 0;
  int64_t deaths = 0;
  // The --server-name of the client that saw the player last; empty for
  // tables older than the server column.
  std::string lastServer;
  // Other names seen with the same details text (never for "" or
  // "Unknown"), by name.
  std::vector<std::string> aliases;
};

struct ChatRecord {
  int64_t time = 0;
  std::string name;
  // Absent for public chat; the recipient word of a private message.
  std::optional<std::string> recipient;
  std::string text;
  std::string server;  // where it was said; empty when not known
};

struct SanctionRecord {
  int64_t id = 0;
  int64_t time = 0;
  std::string name;
  std::string kind;     // one of the kSanction names
  int64_t seconds = 0;  // a tempban's length; 0 without one
  // When a ban or a warning stops holding; absent: never (a ban).
  std::optional<int64_t> until;
  std::string reason;
  std::string actor;
  std::optional<int64_t> lifted;  // when an unban lifted it
  std::string server;             // where it was made; empty when not known
};

struct NoteRecord {
  int64_t time = 0;
  std::string name;
  std::string actor;
  std::string text;
};

// One line of the audit: every action of anyone, sanctions, notes and
// changes of admins alike.
struct AuditRecord {
  int64_t time = 0;
  std::string actor;   // its door and name, "console:Warden" (Actor::label)
  std::string action;  // "warn", "kick", ..., "note", "admin add", "admin remove"
  std::string target;  // the player's name
  // The reason (a tempban's after its length, "1h: flood"), the note, the
  // level.
  std::string detail;
  std::string server;  // where it was done; empty when not known
  int64_t id = 0;      // the line's number, rising
  // The number of the sanction the line is about (the act's own, or the
  // one a report was closed with); absent for the other lines.
  std::optional<int64_t> sanction;
};

struct AdminRecord {
  std::string name;
  std::string details;  // as seen when added
  int level = 0;
  std::string addedBy;
  int64_t added = 0;
};

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_RECORDS_H_
