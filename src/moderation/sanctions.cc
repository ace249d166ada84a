#include "moderation/sanctions.h"

namespace gsadmin {

std::string Sanctions::load(int64_t) {
  return "";
}
void Sanctions::record(std::string_view, std::string_view, int64_t, std::optional<int64_t>,
                       std::string_view, std::string_view, int64_t) {}
size_t Sanctions::lift(const std::vector<std::string>&, std::string_view, std::string_view,
                       int64_t) {
  return 0;
}
std::optional<SanctionRecord> Sanctions::activeBan(std::string_view, int64_t) const {
  return std::nullopt;
}
std::vector<SanctionRecord> Sanctions::activeBans(int64_t) const {
  return {};
}
std::vector<SanctionRecord> Sanctions::activeWarnings(std::string_view, int64_t) {
  return {};
}
std::vector<SanctionRecord> Sanctions::sanctionsOf(std::string_view, size_t) {
  return {};
}
void Sanctions::addNote(std::string_view, std::string_view, std::string_view, int64_t) {}
std::vector<NoteRecord> Sanctions::notesOf(std::string_view, size_t) {
  return {};
}
void Sanctions::audit(std::string_view, std::string_view, std::string_view, std::string_view,
                      int64_t) {}
std::vector<AuditRecord> Sanctions::lastAudit(size_t) {
  return {};
}

}  // namespace gsadmin
