#include "moderation/moderation_commands.h"

namespace gsadmin {

std::span<const CommandHelp> ModerationCommands::consoleHelp() {
  return {};
}
bool ModerationCommands::isConsoleWord(std::string_view) {
  return false;
}
void ModerationCommands::runTyped(const std::string&, const std::string&) {}
void ModerationCommands::runInGame(const Player&, std::string_view) {}

}  // namespace gsadmin
