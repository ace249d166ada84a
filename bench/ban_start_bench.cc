#include "ban_start_bench.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "live_client.h"
#include "moderation/name_skeleton.h"
#include "moderation/record_store.h"
#include "protocol/wire.h"
#include "storage/sqlite_database.h"
#include "support/client_process.h"
#include "support/proc_stats.h"

namespace gsadmin::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBans = 1000000;
constexpr int kJoins = 4000;
constexpr int kConnectTries = 12;  // of 5 s each
constexpr int kSteadyMs = 1000;
constexpr int kSteadyLimitMs = 60000;

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string bannedName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "Banned%07d", i);
  return name;
}

// Tables of this build with `bans` bans of a day from now, brought down to
// version 2 (no skeleton column) for an older binary. False on an error.
bool writeDatabase(const std::string& path, int schemaVersion, int bans) {
  SqliteDatabase database(path);
  RecordStore store(database);
  if (!store.open().empty()) return false;
  int64_t now = static_cast<int64_t>(time(nullptr));
  NameSkeletons skeletons;
  if (database.run("BEGIN", {}).error) return false;
  for (int i = 0; i < bans; ++i) {
    std::string name = bannedName(i);
    StatementResult result = database.run(
        "INSERT INTO gs_sanctions (time, name_key, name, kind, seconds, until, reason, actor,"
        " skeleton) VALUES (?, ?, ?, 'tempban', 86400, ?, 'bench', 'Op', ?)",
        {DbValue::integer(now), DbValue::text(nameKey(name)), DbValue::text(name),
         DbValue::integer(now + 86400), DbValue::text(skeletons.of(nameKey(name)))});
    if (result.error) return false;
  }
  if (database.run("COMMIT", {}).error) return false;
  if (schemaVersion >= 3) return true;
  for (const char* sql :
       {"DROP INDEX gs_sanctions_skeleton", "ALTER TABLE gs_sanctions DROP COLUMN skeleton",
        "UPDATE gs_schema SET version = 2"}) {
    if (database.run(sql, {}).error) return false;
  }
  return !database.run("VACUUM", {}).error;
}

// VmRSS once the bans are read (the process is down to its one thread: the
// reader has ended) and it has not changed by more than 1% for kSteadyMs.
double steadyResidentMiB(pid_t pid) {
  Clock::time_point start = Clock::now();
  while (testing::threadCount(pid).value_or(0) > 1 && msSince(start) < kSteadyLimitMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  uint64_t last = testing::residentKiB(pid).value_or(0);
  Clock::time_point since = Clock::now();
  while (msSince(start) < kSteadyLimitMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    uint64_t now = testing::residentKiB(pid).value_or(0);
    if (now > last + last / 100 || now + last / 100 < last) {
      last = now;
      since = Clock::now();
    } else if (msSince(since) >= kSteadyMs) {
      break;
    }
  }
  return static_cast<double>(last) / 1024;
}

// A child that spins on one core until killed.
pid_t startBusyLoop() {
  pid_t pid = fork();
  if (pid == 0) {
    volatile uint64_t spin = 0;
    for (;;) spin = spin + 1;
  }
  return pid;
}

void stopBusyLoop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

const Datagram kKeepAliveAnswer{0x35, 0x00};

// VmRSS of the binary connected with no bans, for the bytes a ban.
double emptyResidentMiB(const std::string& binary) {
  testing::TempDir dir;
  LiveClient client(std::nullopt, false, {"--db=" + dir.path() + "/empty.db"}, dir.path(), binary);
  if (!client.connect({})) return 0;
  return steadyResidentMiB(client.process().pid());
}

double percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(fraction * static_cast<double>(values.size() - 1))];
}

}  // namespace

BanStartResult measureBanStart(const std::string& binary, int schemaVersion, int bans, int joins) {
  BanStartResult result;
  testing::TempDir dir;
  std::string path = dir.path() + "/bans.db";
  result.emptyMiB = emptyResidentMiB(binary);
  if (!writeDatabase(path, schemaVersion, bans)) return result;
  Clock::time_point start = Clock::now();
  LiveClient client(std::nullopt, false, {"--db=" + path}, dir.path(), binary);
  bool connected = false;
  for (int i = 0; i < kConnectTries && !connected; ++i) connected = client.connect({});
  if (!connected) return result;
  result.connectMs = msSince(start);
  result.residentMiB = steadyResidentMiB(client.process().pid());

  pid_t busy = startBusyLoop();
  std::vector<double> joinUs, bannedUs, freeUs;
  bool complete = true;
  for (int i = 0; i < joins; ++i) {
    bool banned = i % 2 == 0;
    std::string name = banned ? bannedName((i * 7919) % bans) : "Player" + std::to_string(i);
    if (banned) name[0] = 'b';
    client.drain();
    Clock::time_point sent = Clock::now();
    client.peer().send(testing::playerJoined(1, name));
    client.peer().send(testing::keepAliveRequest());
    size_t kicked = 0;
    bool answered = false;
    // Everything the client sends until the keep-alive's answer: the join
    // was handled before it.
    while (!answered) {
      std::optional<Datagram> d = client.peer().receive(5000);
      if (!d) break;
      if (d->size() == 3 && (*d)[0] == wire::kKickRequestId) ++kicked;
      answered = *d == kKeepAliveAnswer;
    }
    joinUs.push_back(msSince(sent) * 1000);
    (banned ? bannedUs : freeUs).push_back(joinUs.back());
    complete = complete && answered && kicked == (banned ? 1u : 0u);
    client.peer().send(testing::playerLeft(0, 1));
  }
  stopBusyLoop(busy);
  result.joinP99Us = percentile(joinUs, 0.99);
  result.joinMaxUs = percentile(joinUs, 1.0);
  result.bannedP99Us = percentile(bannedUs, 0.99);
  result.freeP99Us = percentile(freeUs, 0.99);
  result.complete = complete;
  result.ran = true;
  return result;
}

std::vector<ResultRow> banStartRows(const std::string& beforeBinary) {
  std::vector<ResultRow> rows;
  auto add = [&rows](const char* build, const BanStartResult& r, bool targeted) {
    char text[96];
    std::string suffix = std::string(", ") + build;
    if (!r.ran) {
      rows.push_back({"(f) start with 1 000 000 bans" + suffix, "did not run", "", false});
      return;
    }
    double megabytes = r.residentMiB * 1.048576;
    double perBan = (r.residentMiB - r.emptyMiB) * 1048576 / kBans;
    std::snprintf(text, sizeof text, "%.1f MB, %.0f bytes a ban", megabytes, perBan);
    rows.push_back(
        {"(f) RSS with 1 000 000 bans, bytes a ban beyond none" + suffix, text,
         targeted ? "<= 80 MB, <= 64 B" : "",
         targeted ? std::optional<bool>(megabytes <= 80 && perBan <= 64) : std::nullopt});
    std::snprintf(text, sizeof text, "%.2f s", r.connectMs / 1000);
    rows.push_back({"(f) start to connected with 1 000 000 bans" + suffix, text,
                    targeted ? "<= 0.5 s" : "",
                    targeted ? std::optional<bool>(r.connectMs <= 500) : std::nullopt});
    std::snprintf(text, sizeof text, "%.0f us / %.0f us", r.joinP99Us, r.joinMaxUs);
    rows.push_back({"(f) ban check at join, 1 000 000 bans, one core busy, p99 / max" + suffix,
                    text, targeted ? "p99 < 1000 us" : "",
                    targeted ? std::optional<bool>(r.complete && r.joinP99Us < 1000)
                             : std::optional<bool>(r.complete)});
    std::snprintf(text, sizeof text, "%.0f us / %.0f us", r.bannedP99Us, r.freeP99Us);
    rows.push_back(
        {"(f) same, p99 of the banned joins / the others" + suffix, text, "", std::nullopt});
  };
  std::printf("(f) start with 1 000 000 bans, real binary%s\n",
              beforeBinary.empty() ? "" : ", before and now");
  std::fflush(stdout);
  if (!beforeBinary.empty()) add("before", measureBanStart(beforeBinary, 2, kBans, kJoins), false);
  add("now", measureBanStart(testing::ClientProcess::defaultBinary(), 3, kBans, kJoins), true);
  return rows;
}

const char kBanStartNotes[] =
    "- (f) Start with 1 000 000 bans: the real binary on a database file of\n"
    "  1 000 000 tempbans (brought down to the tables of version 2 for a build\n"
    "  before the skeleton column, `--before=PATH`). Start to connected: from the\n"
    "  spawn until the login is accepted and a keep-alive answered. RSS: VmRSS once\n"
    "  steady (within 1% for 1 s) after connecting. Ban check: a busy-loop child\n"
    "  takes one core; 4000 joins, every other one banned (another letter case),\n"
    "  each followed by a keep-alive request and timed until its answer (after the\n"
    "  kick for a banned one); p99 / max over all joins.\n";

}  // namespace gsadmin::bench
