// The session's registry of in-game words: the admin acts said in game
// carried out by the table of acts, the scripts' words by their handlers,
// and the replies as private messages.

#include <algorithm>
#include <string>
#include <vector>

#include "console/printable.h"
#include "context/admin_actions.h"
#include "session/admin_session.h"

namespace gsadmin {

namespace {

// The in-game words of the acts said in game: one word each, "admin" for
// both "admin add" and "admin remove", with the lowest level among them;
// first !help, which the registry answers itself, for the admins (a script
// may answer it for the other players).
std::vector<GameWords::Builtin> builtinWords(const Commands& commands) {
  std::vector<GameWords::Builtin> builtins = {{"help", kModeratorLevel, false, "!help [WORD]"}};
  for (const Act* act : commands.typedActs(kGameDoor)) {
    std::string_view typed = act->word;
    std::string word(typed.substr(0, typed.find(' ')));
    std::string usage = Commands::usage(*act, kGameDoor);
    auto same = [&](const GameWords::Builtin& row) { return row.word == word; };
    auto found = std::find_if(builtins.begin(), builtins.end(), same);
    if (found == builtins.end()) {
      builtins.push_back({word, act->level, !act->read, usage});
    } else {
      found->level = std::min(found->level, act->level);
      found->usage += ", " + usage;
    }
  }
  return builtins;
}

}  // namespace

std::unique_ptr<GameWords> AdminSession::makeGameWords() {
  std::vector<GameWords::Builtin> builtins;
  if (moderation_) builtins = builtinWords(*acts_);
  auto runBuiltin = [this](uint8_t senderId, int senderLevel, std::string_view word,
                           std::string_view rest) {
    const Player* sender = world_.players().find(senderId);
    if (sender == nullptr) return;
    Actor actor{Actor::Kind::kPlayer, sender->name, senderLevel, senderId};
    acts_->runTyped(actor, kGameDoor, word, rest, std::nullopt);
  };
  auto callScript = [this](uint64_t owner, const std::string& functionName, uint8_t senderId,
                           std::string_view rest) {
    Script* script = scripts_->findById(owner);
    if (script == nullptr || !script->loaded()) return;
    scripts_->fetchFunction(functionName);
    scripts_->pushInteger(senderId);
    scripts_->pushString(rest);
    scripts_->callFunctionIn(*script, 2);
  };
  auto reply = [this](uint8_t playerId, std::string_view line) {
    admin::sendMessage(*this, playerId, line);
  };
  return std::make_unique<GameWords>(std::move(builtins), runBuiltin, callScript, reply);
}

std::string AdminSession::addChatCommand(uint64_t owner, std::string_view word,
                                         std::string_view functionName, std::string_view help,
                                         int level) {
  std::optional<uint64_t> taken = gameWords_->ownerOf(word);
  if (taken && *taken != owner) {
    Script* other = scripts_->findById(*taken);
    return "!" + std::string(word) + " is taken by script '" +
           printable(other ? std::string(other->name) : "?") + "'.";
  }
  return gameWords_->add(owner, word, functionName, help, level);
}

}  // namespace gsadmin
