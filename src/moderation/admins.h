#ifndef GSADMIN_MODERATION_ADMINS_H_
#define GSADMIN_MODERATION_ADMINS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "moderation/record_store.h"
#include "moderation/records.h"

namespace gsadmin {

// The admins in game (gs_admins), held in memory as well. An admin is
// bound to a name and to the details text the server gave when the admin
// was added: a player counts as that admin only when both match, so that a
// name alone never grants rights. The store must outlive this object.
class Admins {
 public:
  explicit Admins(RecordStore& store) : store_(store) {}

  // Reads the admins into memory, in place of those held. Empty, or the
  // database's error (nothing changed then).
  std::string load();

  // Adds or replaces the admin `name` (any case) with `details` and
  // `level`, at once in memory and at the next flush in gs_admins. The
  // texts are cut as record_store.h says.
  void add(std::string_view name, std::string_view details, int level, std::string_view addedBy,
           int64_t now);
  // False when `name` was no admin.
  bool remove(std::string_view name);

  // The level of a player with this name and details text, or 0 when the
  // player is no admin or the details differ from the admin's.
  int levelOf(std::string_view name, std::string_view details) const;
  std::optional<AdminRecord> find(std::string_view name) const;
  // By name.
  std::vector<AdminRecord> all() const;

 private:
  RecordStore& store_;
  std::unordered_map<std::string, AdminRecord> admins_;  // by name key
};

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_ADMINS_H_
