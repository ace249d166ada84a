#include "moderation/sanction_rows.h"

#include <algorithm>
#include <cstdint>

namespace gsadmin {
namespace {

constexpr size_t kSanctionColumns = 10;

}  // namespace

DbValue countValue(size_t count) {
  return DbValue::integer(static_cast<int64_t>(std::min<size_t>(count, INT32_MAX)));
}

int64_t integerAt(const DbValue& value) {
  return value.type == DbValue::Type::kInteger ? value.integerValue : 0;
}

std::optional<int64_t> optionalAt(const DbValue& value) {
  if (value.type != DbValue::Type::kInteger) return std::nullopt;
  return value.integerValue;
}

std::vector<SanctionRecord> sanctionRows(const StatementResult& result) {
  std::vector<SanctionRecord> rows;
  if (result.error || result.columns.size() != kSanctionColumns) return rows;
  for (size_t row = 0; row < result.rowCount(); ++row) {
    const DbValue* v = &result.values[row * kSanctionColumns];
    rows.push_back(SanctionRecord{integerAt(v[0]), integerAt(v[1]), v[2].bytes, v[3].bytes,
                                  integerAt(v[4]), optionalAt(v[5]), v[6].bytes, v[7].bytes,
                                  optionalAt(v[8]), v[9].bytes});
  }
  return rows;
}

std::optional<SanctionRecord> unwrittenSanction(const std::vector<DbValue>& b) {
  if (b.size() != 10 || b[3].type != DbValue::Type::kText) return std::nullopt;
  // Not written yet, so it has no id and was never lifted.
  return SanctionRecord{
      0,          integerAt(b[0]), b[2].bytes,   b[3].bytes, integerAt(b[4]), optionalAt(b[5]),
      b[6].bytes, b[7].bytes,      std::nullopt, b[8].bytes};
}

std::vector<AuditRecord> auditRows(const StatementResult& result) {
  constexpr size_t kColumns = 8;
  std::vector<AuditRecord> lines;
  if (result.error || result.columns.size() != kColumns) return lines;
  for (size_t row = 0; row < result.rowCount(); ++row) {
    const DbValue* v = &result.values[row * kColumns];
    lines.push_back(AuditRecord{integerAt(v[0]), v[1].bytes, v[2].bytes, v[3].bytes, v[4].bytes,
                                v[5].bytes, integerAt(v[6]), optionalAt(v[7])});
  }
  return lines;
}

bool isBan(std::string_view kind) {
  return kind == kSanctionTempban || kind == kSanctionBan;
}

bool holdsAt(const SanctionRecord& ban, int64_t now) {
  return !ban.lifted && (!ban.until || *ban.until > now);
}

bool endsLater(const SanctionRecord& a, const SanctionRecord& b) {
  if (!a.until) return b.until.has_value();
  return b.until && *a.until > *b.until;
}

const SanctionRecord* longestHolding(const std::vector<SanctionRecord>& bans, int64_t now) {
  const SanctionRecord* longest = nullptr;
  for (const SanctionRecord& ban : bans) {
    if (holdsAt(ban, now) && (longest == nullptr || endsLater(ban, *longest))) longest = &ban;
  }
  return longest;
}

}  // namespace gsadmin
