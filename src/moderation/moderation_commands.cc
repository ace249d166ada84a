// The moderation commands' tables, their dispatch and their answers.

#include "moderation/moderation_commands.h"

#include <algorithm>

#include "console/printable.h"
#include "context/admin_actions.h"
#include "context/session_context.h"
#include "model/player.h"
#include "moderation/moderation.h"

namespace gsadmin {
namespace {

const CommandHelp kConsoleHelp[] = {
    {".warn PLAYER REASON", "warns the player; enough warnings kick or ban"},
    {".tempban PLAYER DURATION [REASON]", "bans the player for DURATION, kicked at every join"},
    {".unban NAME", "lifts the client's bans on NAME and its aliases"},
    {".note NAME TEXT", "a note on the player for the other admins"},
    {".bans", "the active bans: name, until, actor, reason"},
    {".seen NAME", "last seen, visits, time played, kills, deaths, aliases"},
    {".history NAME [N]", "the player's sanctions, notes and last N chat lines (10)"},
    {".audit [N]", "the last N actions of anyone (20)"},
    {".admin add PLAYER LEVEL", "an admin in game: 1 moderator, 2 admin, 3 senior"},
    {".admin remove NAME", "removes the admin in game NAME"},
    {".admins", "the admins in game"},
};

// The longest start of `text` of at most `size` bytes that does not end
// inside a UTF-8 sequence.
std::string_view cut(std::string_view text, size_t size) {
  if (text.size() <= size) return text;
  size_t end = size;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

}  // namespace

std::span<const CommandHelp> ModerationCommands::consoleHelp() {
  return kConsoleHelp;
}

bool ModerationCommands::isConsoleWord(std::string_view word) {
  return std::any_of(std::begin(kConsoleHelp), std::end(kConsoleHelp), [word](const auto& row) {
    std::string_view usage = row.usage;
    return usage.substr(1, usage.find(' ') - 1) == word;
  });
}

void ModerationCommands::runTyped(const Actor& actor, const std::string& word,
                                  const std::string& rest) {
  runWord(Request{actor, "." + word}, word, rest);
}

void ModerationCommands::runWord(const Request& request, std::string_view word,
                                 std::string_view rest) {
  if (word == "warn") return warn(request, rest);
  if (word == "kick") return kick(request, rest);
  if (word == "tempban") return tempban(request, rest);
  if (word == "ban") return ban(request, rest);
  if (word == "unban") return unban(request, rest);
  if (word == "note") return note(request, rest);
  if (word == "admin") return admin(request, rest);
  if (word == "bans") return answer(request, bans());
  if (word == "seen") return showSeen(request, rest);
  if (word == "history") return showHistory(request, rest);
  if (word == "audit") return showAudit(request, rest);
  bool inGame = request.actor.kind == Actor::Kind::kPlayer;
  if (word == "admins") return answer(request, admins(!inGame));
}

void ModerationCommands::answer(const Request& request, std::string_view line) {
  SessionContext& session = moderation_.session();
  if (request.actor.kind == Actor::Kind::kPlayer && request.actor.playerId) {
    admin::sendMessage(session, *request.actor.playerId, cut(printable(line), kMaxAnswer));
  } else {
    session.console().line("* " + printable(line));
  }
}

void ModerationCommands::answer(const Request& request, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) answer(request, line);
}

void ModerationCommands::refuse(const Request& request, std::string_view reason) {
  answer(request, request.command + ": " + std::string(reason));
}

std::string_view ModerationCommands::trimmed(std::string_view text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace gsadmin
