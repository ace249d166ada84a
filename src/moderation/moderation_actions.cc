#include "moderation/moderation.h"

namespace gsadmin {

std::string Moderation::warn(const Actor&, uint8_t, std::string_view) {
  return "not available";
}
std::string Moderation::kick(const Actor&, uint8_t, std::string_view) {
  return "not available";
}
std::string Moderation::tempban(const Actor&, uint8_t, int64_t, std::string_view) {
  return "not available";
}
std::string Moderation::ban(const Actor&, uint8_t, std::string_view) {
  return "not available";
}
size_t Moderation::unban(const Actor&, std::string_view) {
  return 0;
}
std::string Moderation::note(const Actor&, std::string_view, std::string_view) {
  return "not available";
}
std::string Moderation::addAdmin(const Actor&, uint8_t, int) {
  return "not available";
}
std::string Moderation::removeAdmin(const Actor&, std::string_view) {
  return "not available";
}
void Moderation::announce(const Actor&, std::string_view, std::string_view, int64_t,
                          std::string_view, const std::string&) {}
void Moderation::applyWarningThresholds(const Actor&, uint8_t) {}

}  // namespace gsadmin
