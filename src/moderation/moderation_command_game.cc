// The moderation commands of the admins in game: "!word ..." in public chat
// or a private message.

#include "model/player.h"
#include "moderation/moderation.h"
#include "moderation/moderation_commands.h"

namespace gsadmin {
namespace {

// The in-game words with the level each needs. Below it, the punishing
// words and !admin answer "you may not"; the others are left alone, for
// the scripts that answer players' !help and !seen.
struct GameWord {
  const char* word;
  int level;
  bool answersBelowLevel;
  const char* usage;
};

const GameWord kGameWords[] = {
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

const GameWord* findGameWord(std::string_view word) {
  for (const GameWord& row : kGameWords) {
    if (word == row.word) return &row;
  }
  return nullptr;
}

}  // namespace

void ModerationCommands::runInGame(const Player& sender, std::string_view text) {
  text.remove_prefix(std::min<size_t>(1, text.size()));  // the '!'
  size_t space = text.find(' ');
  std::string word = nameKey(text.substr(0, space));
  std::string_view rest = space == std::string_view::npos ? "" : text.substr(space + 1);
  const GameWord* known = findGameWord(word);
  if (known == nullptr) return;
  Actor actor{Actor::Kind::kPlayer, sender.name, moderation_.levelOf(sender), sender.id};
  Request request{actor, "!" + word};
  if (actor.level < known->level) {
    if (known->answersBelowLevel) refuse(request, "you may not");
    return;
  }
  runWord(request, word, rest);
}

std::vector<std::string> ModerationCommands::gameHelp(int level) {
  std::vector<std::string> lines;
  for (const GameWord& row : kGameWords) {
    if (row.level <= level) lines.emplace_back(row.usage);
  }
  return lines;
}

}  // namespace gsadmin
