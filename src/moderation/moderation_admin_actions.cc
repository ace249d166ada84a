// The actions on names rather than on a player on the server: lifting
// bans, notes, and the admins in game.

#include "console/printable.h"
#include "context/session_context.h"
#include "moderation/moderation.h"
#include "moderation/moderation_texts.h"

namespace gsadmin {
namespace {

constexpr char kAuditNote[] = "note";
constexpr char kAuditAdminAdd[] = "admin add";
constexpr char kAuditAdminRemove[] = "admin remove";

// Why `name` cannot be acted on, or empty.
std::string nameRefusal(std::string_view name) {
  if (name.empty()) return "a name is needed";
  if (name.size() > Sanctions::kMaxReasonBytes) return "the name is too long";
  return "";
}

std::string asciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

}  // namespace

size_t Moderation::unban(const Actor& actor, std::string_view name, std::string_view reason) {
  if (!nameRefusal(name).empty()) return 0;
  std::vector<std::string> names{std::string(name)};
  if (std::optional<PlayerRecord> record = history_.find(name)) {
    names.insert(names.end(), record->aliases.begin(), record->aliases.end());
  }
  std::string kept = keptReason(reason);
  size_t lifted = sanctions_.lift(names, kept, actor.name, now());
  std::string line = "* " + printable(actor.label()) + " lifted " + std::to_string(lifted) +
                     " ban(s) on " + printable(name) +
                     "; a ban of the server's own must be lifted on the server";
  if (lifted == 0) {
    session_.console().line(line);
    return 0;
  }
  announce(actor, name, kSanctionUnban, 0, kept, line);
  return lifted;
}

std::string Moderation::note(const Actor& actor, std::string_view name, std::string_view text) {
  if (std::string refusal = nameRefusal(name); !refusal.empty()) return refusal;
  std::string kept = keptReason(text);
  if (kept.empty()) return "a note needs a text";
  int64_t moment = now();
  sanctions_.addNote(name, actor.name, kept, moment);
  sanctions_.audit(actor.label(), kAuditNote, name, kept, moment);
  session_.console().line("* " + printable(actor.label()) + " noted on " + printable(name) +
                          unseenMark(Person{nullptr, std::string(name)}) + ": " + printable(kept));
  return "";
}

std::string Moderation::addAdmin(const Actor& actor, const Player& target, int level) {
  const Player* player = &target;
  if (std::string refusal = rankRefusal(actor, Person{player, player->name}); !refusal.empty()) {
    return refusal;
  }
  if (level < kModeratorLevel || level > kSeniorLevel) return "the level must be 1, 2 or 3";
  if (level > actor.level) return "you may not";
  if (!settings_.trustNames) {
    if (std::string refusal = bindingRefusal(*player); !refusal.empty()) return refusal;
  }
  std::string name = player->name;
  int64_t moment = now();
  admins_.add(name, player->info, level, actor.name, moment);
  sanctions_.audit(actor.label(), kAuditAdminAdd, name, std::to_string(level), moment);
  session_.console().line("* " + printable(actor.label()) + " made " + printable(name) +
                          " an admin of level " + std::to_string(level));
  return "";
}

std::string Moderation::bindingRefusal(const Player& player) const {
  const std::string& details = player.info;
  if (!detailsIdentify(details)) {
    return "the server gives no details to tell this player from another of the same name; "
           "--trust-names allows it";
  }
  // Anyone may join with the name, and so have a text that holds it.
  std::string name = asciiLower(boundedText(player.name, kMaxNameBytes));
  if (!name.empty() && asciiLower(details).find(name) != std::string::npos) {
    return "the server's details hold the player's name, which anyone may take; "
           "--trust-names allows it";
  }
  if (presence_[player.id].detailsChanged) {
    return "the server's details change while the player is on (ping, health), so they tell "
           "nobody apart; --trust-names allows it";
  }
  return "";
}

std::string Moderation::removeAdmin(const Actor& actor, std::string_view name) {
  if (std::string refusal = nameRefusal(name); !refusal.empty()) return refusal;
  std::optional<AdminRecord> admin = admins_.find(name);
  if (!admin) return printable(name) + " is no admin";
  if (admin->level > actor.level) return "you may not";
  admins_.remove(name);
  sanctions_.audit(actor.label(), kAuditAdminRemove, admin->name, std::to_string(admin->level),
                   now());
  session_.console().line("* " + printable(actor.label()) + " removed the admin " +
                          printable(admin->name));
  return "";
}

}  // namespace gsadmin
