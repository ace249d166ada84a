// The moderation commands that list: bans, what is known of a player, the
// audit and the admins in game.

#include "base/durations.h"
#include "console/printable.h"
#include "context/session_context.h"
#include "model/player.h"
#include "moderation/moderation.h"
#include "moderation/moderation_commands.h"

namespace gsadmin {
namespace {

constexpr size_t kAuditLines = 20;
constexpr size_t kMaxAuditLines = 200;

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

std::string sanctionLine(const SanctionRecord& sanction) {
  std::string line = formatUtcTime(sanction.time) + " " + printable(sanction.kind);
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

std::vector<std::string> ModerationCommands::bans() {
  int64_t now = moderation_.now();
  std::vector<std::string> lines;
  for (const SanctionRecord& ban : moderation_.sanctions().activeBans(now)) {
    std::string until = "permanent";
    if (ban.until) {
      until =
          "until " + formatUtcTime(*ban.until) + " (" + formatDuration(*ban.until - now) + " left)";
    }
    lines.push_back(printable(ban.name) + ", " + until + ", by " + printable(ban.actor) + ": " +
                    reasonText(ban.reason));
  }
  if (lines.empty()) lines.emplace_back("no active bans");
  return lines;
}

void ModerationCommands::showSeen(const Request& request, std::string_view rest) {
  std::string name(trimmed(rest));
  if (name.empty()) return refuse(request, "a name is needed");
  moderation_.store().takeQueryError();  // an earlier one is not this listing's
  std::vector<std::string> lines = seen(name);
  if (!refusedUnread(request)) answer(request, lines);
}

bool ModerationCommands::refusedUnread(const Request& request) {
  std::optional<std::string> error = moderation_.store().takeQueryError();
  if (error) refuse(request, "cannot read the records: " + *error);
  return error.has_value();
}

std::vector<std::string> ModerationCommands::seen(std::string_view name) {
  std::optional<PlayerRecord> record = moderation_.history().find(name);
  if (!record) return {"nothing is known of " + printable(name)};
  std::string online = "not online";
  for (const auto& player : moderation_.session().players().all()) {
    if (nameKey(player->name) == nameKey(record->name)) {
      online = "online now as " + std::to_string(player->id);
    }
  }
  int64_t ago = moderation_.now() - record->lastSeen;
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
  for (const NoteRecord& note : moderation_.sanctions().notesOf(record->name, kMaxListed)) {
    lines.push_back(noteLine(note));
  }
  return lines;
}

void ModerationCommands::showHistory(const Request& request, std::string_view rest) {
  Split split = splitRecordedName(rest);
  if (split.name.empty()) return refuse(request, "a name is needed");
  std::optional<size_t> lines = count(request, split.rest, kHistoryChatLines, kMaxHistoryChatLines);
  if (!lines) return;
  moderation_.store().takeQueryError();
  std::vector<std::string> shown = history(split.name, *lines);
  if (!refusedUnread(request)) answer(request, shown);
}

std::vector<std::string> ModerationCommands::history(std::string_view name, size_t chatLines) {
  std::optional<PlayerRecord> record = moderation_.history().find(name);
  std::vector<SanctionRecord> sanctions = moderation_.sanctions().sanctionsOf(name, kMaxListed);
  std::vector<NoteRecord> notes = moderation_.sanctions().notesOf(name, kMaxListed);
  std::vector<ChatRecord> chat = moderation_.history().lastChat(name, chatLines);
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

void ModerationCommands::showAudit(const Request& request, std::string_view rest) {
  std::optional<size_t> lines = count(request, rest, kAuditLines, kMaxAuditLines);
  if (!lines) return;
  moderation_.store().takeQueryError();
  std::vector<std::string> shown = audit(*lines);
  if (!refusedUnread(request)) answer(request, shown);
}

std::vector<std::string> ModerationCommands::audit(size_t count) {
  std::vector<std::string> lines;
  for (const AuditRecord& entry : moderation_.sanctions().lastAudit(count)) {
    std::string line = formatUtcTime(entry.time) + " " + printable(entry.actor) + " " +
                       printable(entry.action) + " " + printable(entry.target);
    if (!entry.server.empty()) line += " on " + printable(entry.server);
    if (!entry.detail.empty()) line += ": " + printable(entry.detail);
    lines.push_back(line);
  }
  if (lines.empty()) lines.emplace_back("nothing in the audit yet");
  return lines;
}

std::vector<std::string> ModerationCommands::admins(bool withDetails) {
  std::vector<std::string> lines;
  for (const AdminRecord& admin : moderation_.admins().all()) {
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
