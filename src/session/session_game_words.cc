// The session's registry of in-game words: the moderation's words carried
// out by the moderation, the scripts' words by their handlers, and the
// replies as private messages.

#include <string>
#include <vector>

#include "console/printable.h"
#include "context/admin_actions.h"
#include "moderation/moderation_commands.h"
#include "session/admin_session.h"

namespace gsadmin {

std::unique_ptr<GameWords> AdminSession::makeGameWords() {
  std::vector<GameWords::Builtin> builtins;
  if (moderation_) {
    for (const GameWordRow& row : ModerationCommands::gameWords()) {
      builtins.push_back({row.word, row.level, row.refusesBelowLevel, row.usage});
    }
  }
  auto runBuiltin = [this](uint8_t senderId, int, std::string_view word, std::string_view rest) {
    const Player* sender = world_.players().find(senderId);
    if (moderation_ && sender != nullptr) moderation_->commands().runInGame(*sender, word, rest);
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
