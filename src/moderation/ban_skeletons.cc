// The skeleton column of the bans of older tables, filled at the upgrade.

#include "moderation/name_skeleton.h"
#include "moderation/schema.h"

namespace gsadmin {
namespace {

constexpr int64_t kFillPageRows = 10000;

}  // namespace

StatementResult fillBanSkeletons(Database& database) {
  NameSkeletons skeletons;
  int64_t after = INT64_MIN;
  for (;;) {
    StatementResult page = database.run(
        "SELECT id, name_key FROM gs_sanctions WHERE id > ? AND skeleton IS NULL"
        " AND kind IN ('tempban', 'ban') ORDER BY id LIMIT ?",
        {DbValue::integer(after), DbValue::integer(kFillPageRows)});
    if (page.error || page.columns.size() != 2) return page;
    for (size_t row = 0; row < page.rowCount(); ++row) {
      after = page.values[row * 2].integerValue;
      StatementResult set = database.run(
          "UPDATE gs_sanctions SET skeleton = ? WHERE id = ?",
          {DbValue::text(skeletons.of(page.values[row * 2 + 1].bytes)), DbValue::integer(after)});
      if (set.error) return set;
    }
    if (page.rowCount() < static_cast<size_t>(kFillPageRows)) return {};
  }
}

}  // namespace gsadmin
