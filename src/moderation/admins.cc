#include "moderation/admins.h"

#include <algorithm>

#include "moderation/actor.h"

namespace gsadmin {

std::string Admins::load() {
  StatementResult rows =
      store_.query("SELECT name_key, name, details, level, added_by, added FROM gs_admins", {});
  if (rows.error) return *rows.error;
  admins_.clear();
  for (size_t row = 0; row < rows.rowCount(); ++row) {
    const DbValue* values = &rows.values[row * rows.columns.size()];
    AdminRecord admin;
    admin.name = values[1].bytes;
    admin.details = values[2].bytes;
    admin.level = static_cast<int>(std::clamp<int64_t>(values[3].integerValue, 0, kSeniorLevel));
    admin.addedBy = values[4].bytes;
    admin.added = values[5].integerValue;
    // Keyed again, so a row a script wrote by hand still matches.
    admins_[nameKey(values[0].bytes)] = std::move(admin);
  }
  return "";
}

void Admins::add(std::string_view name, std::string_view details, int level,
                 std::string_view addedBy, int64_t now) {
  AdminRecord admin{boundedText(name, kMaxNameBytes), boundedText(details, kMaxDetailsBytes), level,
                    boundedText(addedBy, kMaxNameBytes), now};
  store_.queue(
      "INSERT INTO gs_admins (name_key, name, details, level, added_by, added)"
      " VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT (name_key) DO UPDATE SET name = excluded.name,"
      " details = excluded.details, level = excluded.level, added_by = excluded.added_by,"
      " added = excluded.added",
      {DbValue::text(nameKey(name)), DbValue::text(admin.name), DbValue::text(admin.details),
       DbValue::integer(level), DbValue::text(admin.addedBy), DbValue::integer(now)});
  store_.queueNotice(kAdminsNotice);
  admins_[nameKey(name)] = std::move(admin);
}

bool Admins::remove(std::string_view name) {
  if (admins_.erase(nameKey(name)) == 0) return false;
  store_.queue("DELETE FROM gs_admins WHERE name_key = ?", {DbValue::text(nameKey(name))});
  store_.queueNotice(kAdminsNotice);
  return true;
}

int Admins::levelOf(std::string_view name, std::string_view details) const {
  auto found = admins_.find(nameKey(name));
  if (found == admins_.end()) return 0;
  // Cut as the stored text was, so that a long details text still matches.
  return found->second.details == boundedText(details, kMaxDetailsBytes) ? found->second.level : 0;
}

std::optional<AdminRecord> Admins::find(std::string_view name) const {
  auto found = admins_.find(nameKey(name));
  if (found == admins_.end()) return std::nullopt;
  return found->second;
}

std::vector<AdminRecord> Admins::all() const {
  std::vector<AdminRecord> admins;
  for (const auto& [key, admin] : admins_) admins.push_back(admin);
  std::sort(admins.begin(), admins.end(), [](const AdminRecord& a, const AdminRecord& b) {
    return nameKey(a.name) < nameKey(b.name);
  });
  return admins;
}

}  // namespace gsadmin
