#include "moderation/admins.h"

namespace gsadmin {

std::string Admins::load() {
  return "";
}
void Admins::add(std::string_view, std::string_view, int, std::string_view, int64_t) {}
bool Admins::remove(std::string_view) {
  return false;
}
int Admins::levelOf(std::string_view, std::string_view) const {
  return 0;
}
std::optional<AdminRecord> Admins::find(std::string_view) const {
  return std::nullopt;
}
std::vector<AdminRecord> Admins::all() const {
  return {};
}

}  // namespace gsadmin
