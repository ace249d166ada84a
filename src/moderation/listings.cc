// The listings: bans, what is known of a player, the audit and the admins
// in game.

#include "moderation/listings.h"

#include "base/durations.h"
#include "console/printable.h"
#include "context/session_context.h"
#include "model/player.h"
#include "moderation/moderation.h"

namespace gsadmin {
namespace {

std::string reasonText(const std::string& reason) {
  return reason.empty() ? "no reason given" : printable(reason);
}

std::string counted(size_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

const char* levelName(int level) {
  switch (level) {
    case kModeratorLevel:
      return "moderator";
    case kAdminLevel:
      return "admin";
    case kSeniorLevel:
      return "senior";
  }
  return "?";
}

// "#12 " before a line about the sanction numbered 12; nothing without a
// number (a record not written yet).
std::string numberMark(std::optional<int64_t> number) {
  return number && *number > 0 ? "#" + std::to_string(*number) + " " : std::string();
}

std::string sanctionLine(const SanctionRecord& sanction) {
  std::string line =
      numberMark(sanction.id) + formatUtcTime(sanction.time) + " " + printable(sanction.kind);
  if (sanction.seconds > 0) line += " " + formatDuration(sanction.seconds);
  line += " by " + printable(sanction.actor);
  if (!sanction.server.empty()) line += " on " + printable(sanction.server);
  if (!sanction.reason.empty()) line += ": " + printable(sanction.reason);
  if (sanction.lifted) line += " (lifted " + formatUtcTime(*sanction.lifted) + ")";
  return line;
}

std::string noteLine(const NoteRecord& note) {
  return formatUtcTime(note.time) + " note by " + printable(note.actor) + ": " +
         printable(note.text);
}

std::string chatLine(const ChatRecord& chat) {
  std::string said = chat.recipient ? "to " + printable(*chat.recipient) : "said";
  if (!chat.server.empty()) said += " on " + printable(chat.server);
  return formatUtcTime(chat.time) + " " + said + ": " + printable(chat.text);
}

}  // namespace

std::vector<std::string> banLines(Moderation& moderation) {
  int64_t now = moderation.now();
  std::vector<std::string> lines;
  std::vector<SanctionRecord> bans =
      moderation.sanctions().activeBans(now).value_or(std::vector<SanctionRecord>());
  for (const SanctionRecord& ban : bans) {
    std::string until = "permanent";
    if (ban.until) {
      until =
          "until " + formatUtcTime(*ban.until) + " (" + formatDuration(*ban.until - now) + " left)";
    }
    lines.push_back(numberMark(ban.id) + printable(ban.name) + ", " + until + ", by " +
                    printable(ban.actor) + ": " + reasonText(ban.reason));
  }
  if (lines.empty()) lines.emplace_back("no active bans");
  return lines;
}

std::vector<std::string> seenLines(Moderation& moderation, std::string_view name) {
  std::optional<PlayerRecord> record = moderation.history().find(name, moderation.now());
  if (!record) return {"nothing is known of " + printable(name)};
  std::string online = "not online";
  for (const auto& player : moderation.session().players().all()) {
    if (nameKey(player->name) == nameKey(record->name)) {
      online = "online now as " + std::to_string(player->id);
    }
  }
  int64_t ago = moderation.now() - record->lastSeen;
  std::string where = record->lastServer.empty() ? "" : " on " + printable(record->lastServer);
  std::vector<std::string> lines = {
      printable(record->name) + ": last seen " + formatUtcTime(record->lastSeen) + " (" +
          formatDuration(ago) + " ago)" + where + ", " + online,
      "visits " + std::to_string(record->visits) + ", time played " +
          formatDuration(record->secondsPlayed) + ", kills " + std::to_string(record->kills) +
          ", deaths " + std::to_string(record->deaths) + ", first seen " +
          formatUtcTime(record->firstSeen)};
  if (!record->aliases.empty()) {
    std::string aliases;
    for (const std::string& alias : record->aliases) {
      aliases += (aliases.empty() ? "" : ", ") + printable(alias);
    }
    lines.push_back("aliases: " + aliases);
  }
  for (const NoteRecord& note : moderation.sanctions().notesOf(record->name, kMaxListed)) {
    lines.push_back(noteLine(note));
  }
  return lines;
}

std::vector<std::string> historyLines(Moderation& moderation, std::string_view name,
                                      size_t chatLines) {
  std::optional<PlayerRecord> record = moderation.history().find(name);
  std::vector<SanctionRecord> sanctions = moderation.sanctions().sanctionsOf(name, kMaxListed);
  std::vector<NoteRecord> notes = moderation.sanctions().notesOf(name, kMaxListed);
  std::vector<ChatRecord> chat = moderation.history().lastChat(name, chatLines);
  if (!record && sanctions.empty() && notes.empty() && chat.empty()) {
    return {"nothing is known of " + printable(name)};
  }
  std::vector<std::string> lines = {
      printable(record ? record->name : name) + ": " + counted(sanctions.size(), "sanction") +
      ", " + counted(notes.size(), "note") + ", the last " + counted(chat.size(), "chat line")};
  for (const SanctionRecord& sanction : sanctions) lines.push_back(sanctionLine(sanction));
  for (const NoteRecord& note : notes) lines.push_back(noteLine(note));
  for (const ChatRecord& line : chat) lines.push_back(chatLine(line));
  return lines;
}

std::vector<std::string> auditLines(Moderation& moderation, size_t count) {
  std::vector<std::string> lines;
  for (const AuditRecord& entry : moderation.sanctions().lastAudit(count)) {
    std::string line = numberMark(entry.sanction) + formatUtcTime(entry.time) + " " +
                       printable(entry.actor) + " " + printable(entry.action) + " " +
                       printable(entry.target);
    if (!entry.server.empty()) line += " on " + printable(entry.server);
    if (!entry.detail.empty()) line += ": " + printable(entry.detail);
    lines.push_back(line);
  }
  if (lines.empty()) lines.emplace_back("nothing in the audit yet");
  return lines;
}

std::vector<std::string> adminLines(Moderation& moderation, bool withDetails) {
  std::vector<std::string> lines;
  for (const AdminRecord& admin : moderation.admins().all()) {
    std::string line = printable(admin.name) + ": level " + std::to_string(admin.level) + " (" +
                       levelName(admin.level) + ")";
    // In game the details stay unsaid: they are what tells an admin from
    // an impostor of the same name.
    if (withDetails) line += ", details '" + printable(admin.details) + "'";
    line += ", added by " + printable(admin.addedBy) + " on " + formatUtcTime(admin.added);
    lines.push_back(line);
  }
  if (lines.empty()) lines.emplace_back("no admins in game");
  return lines;
}

}  // namespace gsadmin
