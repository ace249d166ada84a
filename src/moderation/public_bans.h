#ifndef GSADMIN_MODERATION_PUBLIC_BANS_H_
#define GSADMIN_MODERATION_PUBLIC_BANS_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/database.h"

namespace gsadmin {

// A ban as the public record shows it: these fields and no other. The
// query that reads it names only their columns, so that the actor, notes,
// details, evidence and chat never leave the database on its way. Times
// are seconds since the epoch.
struct PublicBan {
  int64_t id = 0;  // the ban's number
  std::string name;
  std::string kind;  // "tempban" or "ban"
  std::string reason;
  int64_t start = 0;
  // When it ended or ends: lifted, or its end; none for a permanent ban
  // in force.
  std::optional<int64_t> end;
  std::string server;
};

// The most bans one look-up by name shows, newest first.
inline constexpr size_t kMaxPublicBans = 50;

// The bans (tempbans and bans, lifted and ended ones too) on `name` (any
// case), newest first, at most kMaxPublicBans; or the ban numbered `id`.
// Read on any connection (a reader thread's); none when the database could
// not be read.
std::optional<std::vector<PublicBan>> publicBansOf(Database& database, std::string_view name);
std::optional<std::vector<PublicBan>> publicBan(Database& database, int64_t id);

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_PUBLIC_BANS_H_
