#include "moderation/record_store.h"

#include "moderation/schema.h"

namespace gsadmin {
namespace {

std::string versionError(int64_t version) {
  return "the moderation tables are of a newer gsadmin (version " + std::to_string(version) +
         ", this one knows " + std::to_string(kModerationSchemaVersion) + ")";
}

}  // namespace

std::string RecordStore::open() {
  for (const char* statement : moderationSchema()) {
    StatementResult result = database_.run(statement, {});
    if (result.error) return *result.error;
  }
  StatementResult version = database_.run("SELECT max(version) FROM gs_schema", {});
  if (version.error) return *version.error;
  if (version.rowCount() == 1 && version.values[0].type == DbValue::Type::kInteger) {
    int64_t stored = version.values[0].integerValue;
    return stored > kModerationSchemaVersion ? versionError(stored) : std::string();
  }
  StatementResult added = database_.run("INSERT INTO gs_schema (version) VALUES (?)",
                                        {DbValue::integer(kModerationSchemaVersion)});
  return added.error.value_or("");
}

bool RecordStore::queue(const char* sql, std::vector<DbValue> bindings) {
  if (queue_.size() >= kMaxQueued) {
    ++dropped_;
    return false;
  }
  queue_.push_back({sql, std::move(bindings)});
  return true;
}

std::optional<std::string> RecordStore::flush() {
  if (queue_.empty() || database_.inTransaction()) return std::nullopt;
  std::optional<std::string> firstError;
  StatementResult begun = database_.run("BEGIN", {});
  if (begun.error) return begun.error;
  for (const Write& write : queue_) {
    StatementResult result = database_.run(write.sql, write.bindings);
    if (result.error && !firstError) firstError = result.error;
  }
  queue_.clear();
  StatementResult committed = database_.run("COMMIT", {});
  if (committed.error) {
    database_.rollBackOpenTransaction();
    return committed.error;
  }
  return firstError;
}

StatementResult RecordStore::query(const char* sql, const std::vector<DbValue>& bindings) {
  flush();
  return database_.run(sql, bindings);
}

std::string nameKey(std::string_view name) {
  std::string key(name);
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

bool detailsIdentify(std::string_view details) {
  return !details.empty() && details != "Unknown";
}

}  // namespace gsadmin
