// The moderation commands of the admins in game: "!word ..." in public chat
// or a private message.

#include "model/player.h"
#include "moderation/moderation.h"
#include "moderation/moderation_commands.h"

namespace gsadmin {
namespace {

// The in-game words with the level each needs. Below it, the punishing
// words and !admin answer "you may not"; the others are left to the
// scripts that answer players' !help, !seen and !admins.
const GameWordRow kGameWords[] = {
    {"help", kModeratorLevel, false, "!help: this list"},
    {"warn", kModeratorLevel, true, "!warn PLAYER REASON"},
    {"kick", kModeratorLevel, true, "!kick PLAYER [REASON]"},
    {"tempban", kModeratorLevel, true, "!tempban PLAYER DURATION [REASON] (30m, 2h, 7d, 1d12h)"},
    {"ban", kAdminLevel, true, "!ban PLAYER [REASON]"},
    {"unban", kAdminLevel, true, "!unban NAME"},
    {"seen", kModeratorLevel, false, "!seen NAME"},
    {"admins", kModeratorLevel, false, "!admins"},
    {"admin", kSeniorLevel, true, "!admin add PLAYER LEVEL, !admin remove NAME"},
};

}  // namespace

std::span<const GameWordRow> ModerationCommands::gameWords() {
  return kGameWords;
}

void ModerationCommands::runInGame(const Player& sender, std::string_view word,
                                   std::string_view rest) {
  Actor actor{Actor::Kind::kPlayer, sender.name, moderation_.levelOf(sender), sender.id};
  runWord(Request{actor, "!" + std::string(word)}, word, rest);
}

}  // namespace gsadmin
