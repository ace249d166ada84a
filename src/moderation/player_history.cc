#include "moderation/player_history.h"

namespace gsadmin {

void PlayerHistory::visitStarted(std::string_view, std::string_view, int64_t) {}
void PlayerHistory::visitEnded(std::string_view, int64_t, int64_t) {}
void PlayerHistory::deathRecorded(std::string_view, std::optional<std::string_view>, int64_t) {}
void PlayerHistory::chatRecorded(std::string_view, std::optional<std::string_view>,
                                 std::string_view, int64_t) {}
void PlayerHistory::expire(int64_t, int64_t) {}
std::optional<PlayerRecord> PlayerHistory::find(std::string_view) {
  return std::nullopt;
}
std::vector<std::string> PlayerHistory::namesWithDetails(std::string_view) {
  return {};
}
std::vector<ChatRecord> PlayerHistory::lastChat(std::string_view, size_t) {
  return {};
}
std::vector<PlayerRecord> PlayerHistory::search(std::string_view, size_t) {
  return {};
}

}  // namespace gsadmin
