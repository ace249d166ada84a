#include "moderation/ban_loader.h"

#include <pthread.h>
#include <signal.h>

#include "moderation/records.h"

namespace gsadmin {
namespace {

constexpr int64_t kPageRows = 10000;
constexpr size_t kColumns = 5;
constexpr char kStopped[] = "stopped";

bool holdsAt(const DbValue* row, int64_t now) {
  std::string_view kind = row[2].bytes;
  if (kind != kSanctionTempban && kind != kSanctionBan) return false;
  if (row[4].type != DbValue::Type::kNull) return false;  // lifted
  return row[3].type != DbValue::Type::kInteger || row[3].integerValue > now;
}

}  // namespace

std::string readActiveBans(Database& database, int64_t now, BanIndex& index) {
  // In pages by id, read by the primary key alone and the bans picked
  // here: with the conditions in the query, a planner short of statistics
  // scans the whole table for every page.
  int64_t after = INT64_MIN;
  for (;;) {
    StatementResult result = database.run(
        "SELECT id, name_key, kind, until, lifted, skeleton FROM gs_sanctions"
        " WHERE id > ? ORDER BY id LIMIT ?",
        {DbValue::integer(after), DbValue::integer(kPageRows)});
    if (result.error) return *result.error;
    size_t columns = result.columns.size();
    if (columns != kColumns + 1) return "unexpected columns in gs_sanctions";
    for (size_t row = 0; row < result.rowCount(); ++row) {
      const DbValue* v = &result.values[row * columns];
      after = v[0].integerValue;
      if (!holdsAt(v, now)) continue;
      std::optional<int64_t> until;
      if (v[3].type == DbValue::Type::kInteger) until = v[3].integerValue;
      index.raise(v[1].bytes, v[5].bytes, until);
    }
    if (result.rowCount() < static_cast<size_t>(kPageRows)) return "";
  }
}

BanLoader::BanLoader(std::unique_ptr<Database> connection, BanIndex::Hash hash, int64_t now)
    : connection_(std::move(connection)), index_(hash) {
  connection_->setInterruptCheck(
      [this]() -> const char* { return stopping_.load() ? kStopped : nullptr; });
  // Signals are the loop's: the thread starts with all of them blocked.
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &previous);
  thread_ = std::thread([this, now]() { run(now); });
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

BanLoader::~BanLoader() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
}

void BanLoader::wait() {
  if (thread_.joinable()) thread_.join();
}

std::optional<BanIndex> BanLoader::take(std::string* error) {
  if (!done()) return std::nullopt;
  if (!error_.empty()) {
    *error = error_;
    return std::nullopt;
  }
  return std::move(index_);
}

void BanLoader::run(int64_t now) {
  if (!connection_->connected() && !connection_->awaitConnection(kConnectWaitMs)) {
    error_ = "no connection to the database";
  } else {
    error_ = readActiveBans(*connection_, now, index_);
  }
  done_.store(true, std::memory_order_release);
}

}  // namespace gsadmin
