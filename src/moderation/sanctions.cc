#include "moderation/sanctions.h"

#include <algorithm>
#include <cstdint>

namespace gsadmin {
namespace {

constexpr int64_t kPruneIntervalSeconds = 60;
constexpr int64_t kLoadPageRows = 10000;

// The columns every sanction query selects, in this order.
#define SANCTION_COLUMNS "id, time, name, kind, seconds, until, reason, actor, lifted, server"
constexpr size_t kSanctionColumns = 10;

int64_t integerAt(const DbValue& value) {
  return value.type == DbValue::Type::kInteger ? value.integerValue : 0;
}

std::optional<int64_t> optionalAt(const DbValue& value) {
  if (value.type != DbValue::Type::kInteger) return std::nullopt;
  return value.integerValue;
}

// The rows of a query of SANCTION_COLUMNS.
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

bool isBan(std::string_view kind) {
  return kind == kSanctionTempban || kind == kSanctionBan;
}

bool holdsAt(const SanctionRecord& ban, int64_t now) {
  return !ban.lifted && (!ban.until || *ban.until > now);
}

// True when `a` ends later than `b` (a permanent ban never ends).
bool endsLater(const SanctionRecord& a, const SanctionRecord& b) {
  if (!a.until) return b.until.has_value();
  return b.until && *a.until > *b.until;
}

// The ban of `bans` that holds longest at `now`, or null.
const SanctionRecord* longestHolding(const std::vector<SanctionRecord>& bans, int64_t now) {
  const SanctionRecord* longest = nullptr;
  for (const SanctionRecord& ban : bans) {
    if (holdsAt(ban, now) && (longest == nullptr || endsLater(ban, *longest))) longest = &ban;
  }
  return longest;
}

DbValue optionalValue(std::optional<int64_t> value) {
  return value ? DbValue::integer(*value) : DbValue::null();
}

DbValue countValue(size_t count) {
  return DbValue::integer(static_cast<int64_t>(std::min<size_t>(count, INT32_MAX)));
}

}  // namespace

std::string Sanctions::load(int64_t now) {
  // In pages by id: all of a million bans in one result would pass the
  // database's cap on a result's size. The pages are read by the primary
  // key alone, and the bans picked here: with the conditions in the query,
  // a planner short of statistics scans the whole table for every page.
  std::unordered_map<std::string, std::vector<SanctionRecord>> bans;
  int64_t after = INT64_MIN;
  for (;;) {
    StatementResult result = store_.query(
        "SELECT " SANCTION_COLUMNS " FROM gs_sanctions WHERE id > ? ORDER BY id LIMIT ?",
        {DbValue::integer(after), DbValue::integer(kLoadPageRows)});
    if (result.error) return *result.error;
    std::vector<SanctionRecord> page = sanctionRows(result);
    for (SanctionRecord& sanction : page) {
      after = sanction.id;
      if (!isBan(sanction.kind) || !holdsAt(sanction, now)) continue;
      std::string key = nameKey(sanction.name);
      bans[key].push_back(std::move(sanction));
    }
    if (page.size() < static_cast<size_t>(kLoadPageRows)) break;
  }
  bans_ = std::move(bans);
  keysBySkeleton_.clear();
  for (const auto& [key, list] : bans_) indexKey(key);
  nextPrune_ = now + kPruneIntervalSeconds;
  return "";
}

std::string Sanctions::loadName(std::string_view name, int64_t now) {
  std::string key = nameKey(name);
  StatementResult result =
      store_.query("SELECT " SANCTION_COLUMNS
                   " FROM gs_sanctions WHERE name_key = ? AND kind IN ('tempban', 'ban')"
                   " AND lifted IS NULL AND (until IS NULL OR until > ?)",
                   {DbValue::text(key), DbValue::integer(now)});
  if (result.error) return *result.error;
  std::vector<SanctionRecord> bans = sanctionRows(result);
  if (bans.empty()) {
    if (bans_.erase(key) > 0) unindexKey(key);
  } else {
    bans_[key] = std::move(bans);
    indexKey(key);
  }
  return "";
}

void Sanctions::record(std::string_view name, std::string_view kind, int64_t seconds,
                       std::optional<int64_t> until, std::string_view reason,
                       std::string_view actor, int64_t now) {
  std::string key = nameKey(name);
  std::string shown = boundedText(name, kMaxNameBytes);
  std::string kept = boundedText(reason, kMaxReasonBytes);
  store_.queue(
      "INSERT INTO gs_sanctions (time, name_key, name, kind, seconds, until, reason, actor,"
      " server) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
      {DbValue::integer(now), DbValue::text(key), DbValue::text(shown),
       DbValue::text(std::string(kind)), DbValue::integer(seconds), optionalValue(until),
       DbValue::text(kept), DbValue::text(std::string(actor)), DbValue::text(store_.serverName())});
  if (!isBan(kind)) return;
  store_.queueNotice(kBansNotice + key);
  prune(now);
  bans_[key].push_back(SanctionRecord{0, now, std::move(shown), std::string(kind), seconds, until,
                                      std::move(kept), std::string(actor), std::nullopt,
                                      store_.serverName()});
  indexKey(key);
}

size_t Sanctions::lift(const std::vector<std::string>& names, std::string_view reason,
                       std::string_view actor, int64_t now) {
  size_t lifted = 0;
  for (const std::string& name : names) {
    auto found = bans_.find(nameKey(name));
    if (found == bans_.end()) continue;
    size_t holding = static_cast<size_t>(
        std::count_if(found->second.begin(), found->second.end(),
                      [now](const SanctionRecord& ban) { return holdsAt(ban, now); }));
    if (holding > 0) {
      store_.queue(
          "UPDATE gs_sanctions SET lifted = ? WHERE name_key = ? AND kind IN ('tempban', 'ban')"
          " AND lifted IS NULL AND (until IS NULL OR until > ?)",
          {DbValue::integer(now), DbValue::text(found->first), DbValue::integer(now)});
      store_.queueNotice(kBansNotice + found->first);
    }
    lifted += holding;
    unindexKey(found->first);
    bans_.erase(found);
  }
  if (lifted > 0 && !names.empty()) {
    record(names.front(), kSanctionUnban, 0, std::nullopt, reason, actor, now);
  }
  return lifted;
}

std::optional<SanctionRecord> Sanctions::activeBan(std::string_view name, int64_t now) const {
  const SanctionRecord* longest = holdingOn(nameKey(name), now);
  if (longest == nullptr) {
    auto alike = keysBySkeleton_.find(skeletons_.of(name));
    if (alike == keysBySkeleton_.end()) return std::nullopt;
    for (const std::string& key : alike->second) {
      const SanctionRecord* ban = holdingOn(key, now);
      if (ban != nullptr && (longest == nullptr || endsLater(*ban, *longest))) longest = ban;
    }
  }
  if (longest == nullptr) return std::nullopt;
  return *longest;
}

const SanctionRecord* Sanctions::holdingOn(const std::string& key, int64_t now) const {
  auto found = bans_.find(key);
  return found == bans_.end() ? nullptr : longestHolding(found->second, now);
}

void Sanctions::indexKey(const std::string& key) {
  keysBySkeleton_[skeletons_.of(key)].insert(key);
}

void Sanctions::unindexKey(const std::string& key) {
  auto found = keysBySkeleton_.find(skeletons_.of(key));
  if (found == keysBySkeleton_.end()) return;
  found->second.erase(key);
  if (found->second.empty()) keysBySkeleton_.erase(found);
}

std::vector<SanctionRecord> Sanctions::activeBans(int64_t now) const {
  std::vector<SanctionRecord> bans;
  for (const auto& [key, list] : bans_) {
    if (const SanctionRecord* ban = longestHolding(list, now)) bans.push_back(*ban);
  }
  std::sort(bans.begin(), bans.end(), [](const SanctionRecord& a, const SanctionRecord& b) {
    if (endsLater(b, a)) return true;
    if (endsLater(a, b)) return false;
    return nameKey(a.name) < nameKey(b.name);
  });
  return bans;
}

std::vector<SanctionRecord> Sanctions::activeWarnings(std::string_view name, int64_t now) {
  return sanctionRows(store_.query("SELECT " SANCTION_COLUMNS
                                   " FROM gs_sanctions WHERE name_key = ? AND kind = 'warn'"
                                   " AND lifted IS NULL AND (until IS NULL OR until > ?)"
                                   " ORDER BY id",
                                   {DbValue::text(nameKey(name)), DbValue::integer(now)}));
}

std::vector<SanctionRecord> Sanctions::sanctionsOf(std::string_view name, size_t count) {
  return sanctionRows(store_.query("SELECT " SANCTION_COLUMNS
                                   " FROM gs_sanctions WHERE name_key = ? ORDER BY id DESC LIMIT ?",
                                   {DbValue::text(nameKey(name)), countValue(count)}));
}

void Sanctions::addNote(std::string_view name, std::string_view actor, std::string_view text,
                        int64_t now) {
  store_.queue(
      "INSERT INTO gs_notes (time, name_key, name, actor, text, server) VALUES (?, ?, ?, ?, ?, ?)",
      {DbValue::integer(now), DbValue::text(nameKey(name)),
       DbValue::text(boundedText(name, kMaxNameBytes)), DbValue::text(std::string(actor)),
       DbValue::text(boundedText(text, kMaxReasonBytes)), DbValue::text(store_.serverName())});
}

std::vector<NoteRecord> Sanctions::notesOf(std::string_view name, size_t count) {
  StatementResult result = store_.query(
      "SELECT time, name, actor, text FROM gs_notes WHERE name_key = ? ORDER BY id DESC LIMIT ?",
      {DbValue::text(nameKey(name)), countValue(count)});
  std::vector<NoteRecord> notes;
  if (result.error || result.columns.size() != 4) return notes;
  for (size_t row = 0; row < result.rowCount(); ++row) {
    const DbValue* v = &result.values[row * 4];
    notes.push_back(NoteRecord{integerAt(v[0]), v[1].bytes, v[2].bytes, v[3].bytes});
  }
  return notes;
}

void Sanctions::audit(std::string_view actor, std::string_view action, std::string_view target,
                      std::string_view detail, int64_t now) {
  store_.queue(
      "INSERT INTO gs_audit (time, actor, action, target, detail, server)"
      " VALUES (?, ?, ?, ?, ?, ?)",
      {DbValue::integer(now), DbValue::text(std::string(actor)), DbValue::text(std::string(action)),
       DbValue::text(std::string(target)), DbValue::text(boundedText(detail, kMaxReasonBytes)),
       DbValue::text(store_.serverName())});
}

std::vector<AuditRecord> Sanctions::lastAudit(size_t count) {
  StatementResult result = store_.query(
      "SELECT time, actor, action, target, detail, server FROM gs_audit ORDER BY id DESC LIMIT ?",
      {countValue(count)});
  std::vector<AuditRecord> lines;
  if (result.error || result.columns.size() != 6) return lines;
  for (size_t row = 0; row < result.rowCount(); ++row) {
    const DbValue* v = &result.values[row * 6];
    lines.push_back(
        AuditRecord{integerAt(v[0]), v[1].bytes, v[2].bytes, v[3].bytes, v[4].bytes, v[5].bytes});
  }
  return lines;
}

void Sanctions::prune(int64_t now) {
  if (now < nextPrune_) return;
  nextPrune_ = now + kPruneIntervalSeconds;
  for (auto it = bans_.begin(); it != bans_.end();) {
    std::erase_if(it->second, [now](const SanctionRecord& ban) { return !holdsAt(ban, now); });
    if (!it->second.empty()) {
      ++it;
      continue;
    }
    unindexKey(it->first);
    it = bans_.erase(it);
  }
}

}  // namespace gsadmin
