#include "limits_bench.h"

#include <cstdio>

#include "join_bench.h"
#include "memory_bench.h"
#include "records_bench.h"
#include "soak_bench.h"
#include "support/client_process.h"
#include "throughput_bench.h"

namespace gsadmin::bench {
namespace {

constexpr int kChatPerSecond = 100;
constexpr int kChatSeconds = 20;
constexpr double kMaxDiskBytesPerLine = 1024;
constexpr double kMaxRecordLagMs = 1000;
constexpr int kJoins = 1000;
constexpr double kMaxJoinToDetailsMs = 1;
constexpr double kFloodRate = 300000;
constexpr double kFloodSeconds = 3;
constexpr double kFloodRateKept = 0.95;
constexpr uint64_t kMaxFullServerKiB = 16 * 1024;
constexpr int kSoakUpdatesPerSecond = 10000;
constexpr int kSoakChatPerSecond = 10;
constexpr int kSoakSampleSeconds = 10;
constexpr uint64_t kMaxSoakGrowthKiB = 1024;

struct Binary {
  const char* label;
  std::string path;
};

std::vector<Binary> binaries(const std::string& before) {
  std::vector<Binary> list;
  if (!before.empty()) list.push_back({"before", before});
  list.push_back({"now", testing::ClientProcess::defaultBinary()});
  return list;
}

void say(const char* what) {
  std::printf("(k) %s\n", what);
  std::fflush(stdout);
}

void addRecordRows(const std::vector<Binary>& list, std::vector<ResultRow>& rows) {
  say("chat records");
  for (const Binary& binary : list) {
    RecordWrites writes = measureRecordWrites(binary.path, kChatPerSecond, kChatSeconds);
    std::string label = std::string(" (") + binary.label + ")";
    rows.push_back({"(k) disk bytes written per chat line at 100/s" + label,
                    fixed(writes.diskBytesPerLine, 0, " B") + " (all writes " +
                        fixed(writes.writtenBytesPerLine, 0, " B") + ")",
                    "<= 1024 B",
                    writes.complete && writes.diskBytesPerLine <= kMaxDiskBytesPerLine});
    rows.push_back({"(k) chat line to readable elsewhere, p99 / max" + label,
                    fixed(writes.p99LagMs, 0, " ms") + " / " + fixed(writes.maxLagMs, 0, " ms") +
                        ", " + std::to_string(writes.recorded) + " of " +
                        std::to_string(writes.lines),
                    "<= 1000 ms", writes.complete && writes.maxLagMs <= kMaxRecordLagMs});
  }
}

void addJoinRows(const std::vector<Binary>& list, std::vector<ResultRow>& rows) {
  say("joins");
  for (const Binary& binary : list) {
    JoinToDetails joins = measureJoinToDetails(binary.path, kJoins);
    rows.push_back({std::string("(k) join to details request, p99 (") + binary.label + ")",
                    fixed(joins.p99Ms, 2, " ms") + " (median " + fixed(joins.medianMs, 2, " ms") +
                        ", max " + fixed(joins.maxMs, 2, " ms") + ")",
                    "< 1 ms", joins.complete && joins.p99Ms < kMaxJoinToDetailsMs});
  }
}

void addFloodRow(std::vector<ResultRow>& rows) {
  say("a steady flood of 300 000 updates a second");
  SustainedRun run = measureSustained(kFloodRate, kFloodSeconds);
  // A sender that could not keep the rate (a busy machine) proves nothing.
  double sentRate = run.seconds > 0 ? static_cast<double>(run.sent) / run.seconds : 0;
  bool lossless = run.complete && run.handled == run.sent && run.drops == 0 &&
                  sentRate >= kFloodRate * kFloodRateKept;
  rows.push_back({"(k) real binary, 300000/s steady: handled, drops (sent at >= 285000/s)",
                  std::to_string(run.handled) + " of " + std::to_string(run.sent) + ", " +
                      std::to_string(run.drops) + " (sent at " + fixed(sentRate, 0, "/s") + ")",
                  "no loss", lossless});
}

void addMemoryRows(const std::vector<Binary>& list, int soakSeconds, std::vector<ResultRow>& rows) {
  say("memory");
  for (const Binary& binary : list) {
    MemoryResult memory = measureFullServerMemory(binary.path);
    rows.push_back({std::string("(k) VmRSS, full server, moderation on (") + binary.label + ")",
                    fixed(static_cast<double>(memory.fullKiB), 0, " KiB"), "<= 16384 KiB",
                    memory.complete && memory.fullKiB <= kMaxFullServerKiB});
  }
  if (soakSeconds <= 0) return;
  say("memory over a long steady load");
  SoakRun soak = measureSoak(testing::ClientProcess::defaultBinary(), soakSeconds,
                             kSoakUpdatesPerSecond, kSoakChatPerSecond, kSoakSampleSeconds);
  std::string samples;
  for (size_t i = 0; i < soak.residentKiB.size(); i += 60 / kSoakSampleSeconds) {
    samples += (samples.empty() ? "" : ", ") + std::to_string(soak.residentKiB[i]);
  }
  rows.push_back({"(k) VmRSS each minute, 10000 updates/s + 10 chat lines/s (KiB)", samples, "",
                  std::nullopt});
  rows.push_back({"(k) VmRSS growth after the first minute / over the last",
                  std::to_string(soak.growthAfterFirstMinuteKiB) + " KiB / " +
                      std::to_string(soak.lastMinuteGrowthKiB) + " KiB",
                  "< 1024 KiB",
                  soak.complete && soak.growthAfterFirstMinuteKiB < kMaxSoakGrowthKiB});
}

}  // namespace

std::vector<ResultRow> limitsRows(const std::string& before, int soakSeconds) {
  std::vector<Binary> list = binaries(before);
  std::vector<ResultRow> rows;
  addRecordRows(list, rows);
  addJoinRows(list, rows);
  addFloodRow(rows);
  addMemoryRows(list, soakSeconds, rows);
  return rows;
}

const char kLimitsNotes[] =
    "- (k) The real binary with moderation on (its database beside the script in a\n"
    "  temporary directory on disk), beside the binary of --before when given, in\n"
    "  the same run. Chat records: 100 chat lines a second for 20 s; bytes from\n"
    "  /proc/PID/io over the run (write_bytes: toward the disk; wchar: every write\n"
    "  call), per line; a second, read-only connection counts the rows every 20 ms,\n"
    "  and a line's lag runs from its sending to the first count that holds it.\n"
    "  Joins: 1000 joins one at a time, each answered and left, 2 ms apart; the\n"
    "  time from sending a join to receiving its details request. The flood: 300 000 position\n"
    "  updates a second for 3 s with the counting handler. Memory: as (e); then\n"
    "  32 players, 10 000 updates and 10 chat lines a second for --soak-seconds\n"
    "  (300 by default), VmRSS every 10 s, growth from the end of the first minute.\n";

}  // namespace gsadmin::bench
