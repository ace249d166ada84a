#include "records_bench.h"

#include <chrono>
#include <thread>
#include <vector>

#include "bench_statistics.h"
#include "live_client.h"
#include "storage/sqlite_database.h"
#include "support/proc_stats.h"

namespace gsadmin::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kReadEveryMs = 20;
constexpr int kSettleMs = 2000;

double msBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// Rows of gs_chat as another connection sees them; none on an error (the
// table may not be there yet).
uint64_t chatRows(SqliteDatabase& reader) {
  StatementResult result = reader.run("SELECT count(*) FROM gs_chat", {});
  if (result.error || result.rowCount() != 1) return 0;
  return static_cast<uint64_t>(result.values[0].integerValue);
}

// Books, for each line not yet seen, its lag if the reader now holds it.
void bookSeen(uint64_t rows, const std::vector<Clock::time_point>& sentAt, size_t& seen,
              std::vector<double>& lags) {
  Clock::time_point now = Clock::now();
  for (; seen < rows && seen < sentAt.size(); ++seen) lags.push_back(msBetween(sentAt[seen], now));
}

}  // namespace

RecordWrites measureRecordWrites(const std::string& program, int linesPerSecond, int seconds) {
  RecordWrites result;
  LiveClient client(std::string(kCountingScript), false, {}, std::nullopt, program);
  if (!client.connect({{1, "Bob", 0, true}})) return result;
  pid_t pid = client.process().pid();
  SqliteDatabase reader(client.process().directory() + "/script.db",
                        SqliteDatabase::kMaxResultBytes, SqliteDatabase::Access::kReadOnly);
  uint64_t before = chatRows(reader);
  std::optional<testing::IoCounters> ioBefore = testing::ioCounters(pid);

  auto total = static_cast<uint64_t>(linesPerSecond) * static_cast<uint64_t>(seconds);
  std::vector<Clock::time_point> sentAt;
  std::vector<double> lags;
  size_t seen = 0;
  Clock::time_point start = Clock::now();
  Clock::time_point nextRead = start;
  while (sentAt.size() < total || seen < total) {
    Clock::time_point now = Clock::now();
    if (msBetween(start, now) > 1000.0 * seconds + kSettleMs) break;
    auto due = std::min<uint64_t>(
        total, static_cast<uint64_t>(msBetween(start, now) * linesPerSecond / 1000.0));
    while (sentAt.size() < due) {
      sentAt.push_back(Clock::now());
      client.peer().send(
          testing::chatLine(1, 0, "a line of chat, number " + std::to_string(sentAt.size())));
    }
    if (now >= nextRead) {
      bookSeen(chatRows(reader) - before, sentAt, seen, lags);
      nextRead = now + std::chrono::milliseconds(kReadEveryMs);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::optional<testing::IoCounters> ioAfter = testing::ioCounters(pid);
  client.drain();
  result.lines = sentAt.size();
  result.recorded = seen;
  if (!ioBefore || !ioAfter || result.lines == 0) return result;
  double lines = static_cast<double>(result.lines);
  result.diskBytesPerLine =
      static_cast<double>(ioAfter->storageBytes - ioBefore->storageBytes) / lines;
  result.writtenBytesPerLine =
      static_cast<double>(ioAfter->writeCalls - ioBefore->writeCalls) / lines;
  result.p99LagMs = percentileOf(lags, 0.99);
  result.maxLagMs = percentileOf(lags, 1.0);
  result.complete = result.recorded == total;
  return result;
}

}  // namespace gsadmin::bench
