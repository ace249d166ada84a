#ifndef GSADMIN_MODERATION_LISTINGS_H_
#define GSADMIN_MODERATION_LISTINGS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace gsadmin {

class Moderation;

// What the moderation's reads show, as lines without "* ", wherever they
// are shown. A query that fails leaves its error in the store
// (RecordStore::takeQueryError) and finds nothing.

// What a player's history lists: at most kMaxListed sanctions and notes,
// and the last kHistoryChatLines chat lines unless more are asked, at most
// kMaxHistoryChatLines. The audit shows kAuditLines unless more are asked.
inline constexpr size_t kMaxListed = 100;
inline constexpr size_t kHistoryChatLines = 10;
inline constexpr size_t kMaxHistoryChatLines = 100;
inline constexpr size_t kAuditLines = 20;
inline constexpr size_t kMaxAuditLines = 200;

// The active bans: name, until, actor, reason.
std::vector<std::string> banLines(Moderation& moderation);
// Last seen, visits, time played, kills, deaths, aliases and notes.
std::vector<std::string> seenLines(Moderation& moderation, std::string_view name);
// The player's sanctions, notes and last `chatLines` chat lines.
std::vector<std::string> historyLines(Moderation& moderation, std::string_view name,
                                      size_t chatLines);
// The last `count` audit lines, newest first.
std::vector<std::string> auditLines(Moderation& moderation, size_t count);
// report_listings.cc: the open and claimed reports, one line each, "#N
// TARGET by REPORTER (+K more) REASON, STATE", at most kMaxListed.
std::vector<std::string> reportLines(Moderation& moderation);
// The report numbered `id`: its line, when and where it was made, who
// reported it, how it was closed, and its evidence (at most
// kMaxEvidenceShown records) in time order.
std::vector<std::string> reportShowLines(Moderation& moderation, int64_t id);
// appeal_listings.cc: the open appeals, oldest first, one line each: "#3
// ban #12 Bob, 2026-12-09 11:00 UTC: TEXT", the text cut at
// kAppealShownBytes; or why there are none.
std::vector<std::string> appealLines(Moderation& moderation);
inline constexpr size_t kAppealShownBytes = 300;
inline constexpr size_t kMaxEvidenceShown = 500;
// The admins in game; `withDetails` at the console only: in game the
// details stay unsaid.
std::vector<std::string> adminLines(Moderation& moderation, bool withDetails);

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_LISTINGS_H_
