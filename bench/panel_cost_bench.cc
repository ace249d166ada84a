#include "panel_cost_bench.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string_view>
#include <thread>

#include "live_client.h"
#include "panel_streams.h"
#include "support/examples_copy.h"
#include "support/proc_stats.h"
#include "support/raw_socket.h"

namespace gsadmin::bench {
namespace {

using Clock = StreamClock;

constexpr auto kKeepAliveEvery = std::chrono::seconds(5);
// Time for the start's work (greetings, details, the streams' backlog, the
// logins' connections closing when idle) to end before the quiet seconds.
constexpr auto kSettle = std::chrono::seconds(6);
constexpr int kQuietStreams = 2;
// How long the peer leaves the client to answer a keep-alive before it
// reads the answer.
constexpr auto kAnswerWait = std::chrono::milliseconds(200);
constexpr double kQuietTarget = 0.25;
constexpr double kLoadTarget = 1.10;
constexpr double kLoadLatencyTargetMs = 50;
constexpr int kLoadStreams = 20;
constexpr int kLoadUpdatesPerSecond = 100000;
constexpr int kLoadChatPerSecond = 100;
constexpr int kLoadSeconds = 5;
constexpr int kLoadRounds = 4;
// Sends are grouped in ticks of this length.
constexpr auto kTick = std::chrono::milliseconds(1);

struct ThreadReading {
  std::string name;
  uint64_t switches = 0;
  uint64_t involuntary = 0;
};

// Every live thread of `pid` by its id: its name and context switches.
std::map<std::string, ThreadReading> readThreads(pid_t pid) {
  std::map<std::string, ThreadReading> threads;
  std::error_code error;
  std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  for (const auto& entry : std::filesystem::directory_iterator(tasks, error)) {
    ThreadReading reading;
    std::getline(std::ifstream(entry.path() / "comm"), reading.name);
    std::ifstream status(entry.path() / "status");
    std::string line;
    while (std::getline(status, line)) {
      for (std::string key : {"voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:"}) {
        if (line.rfind(key, 0) != 0) continue;
        uint64_t count = std::strtoull(line.c_str() + key.size(), nullptr, 10);
        reading.switches += count;
        if (key[0] == 'n') reading.involuntary += count;
      }
    }
    threads[entry.path().filename().string()] = reading;
  }
  return threads;
}

// CPU seconds (utime + stime) of each live thread of `pid`, by name.
std::map<std::string, double> threadCpu(pid_t pid) {
  std::map<std::string, double> byName;
  std::error_code error;
  std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
  for (const auto& entry : std::filesystem::directory_iterator(tasks, error)) {
    std::string name, stat;
    std::getline(std::ifstream(entry.path() / "comm"), name);
    std::getline(std::ifstream(entry.path() / "stat"), stat);
    std::istringstream fields(stat.substr(stat.rfind(')') + 1));
    std::string field;
    uint64_t ticks = 0;
    for (int i = 1; i <= 13 && fields >> field; ++i) {
      if (i >= 12) ticks += std::stoull(field);
    }
    byName[name] += static_cast<double>(ticks) / tick;
  }
  return byName;
}

// The switches between two readings, by thread name; a thread born
// between them counts from 0.
std::vector<QuietPanel::Threads> switchesBetween(
    const std::map<std::string, ThreadReading>& before,
    const std::map<std::string, ThreadReading>& after) {
  std::map<std::string, QuietPanel::Threads> byName;
  for (const auto& [tid, reading] : after) {
    auto earlier = before.find(tid);
    ThreadReading from = earlier == before.end() ? ThreadReading{} : earlier->second;
    QuietPanel::Threads& threads = byName[reading.name];
    threads.name = reading.name;
    ++threads.count;
    threads.switches += reading.switches - std::min(from.switches, reading.switches);
    threads.involuntary += reading.involuntary - std::min(from.involuntary, reading.involuntary);
  }
  std::vector<QuietPanel::Threads> list;
  for (auto& [name, threads] : byName) list.push_back(threads);
  std::sort(list.begin(), list.end(),
            [](const auto& a, const auto& b) { return a.switches > b.switches; });
  return list;
}

// The panel client of the quiet run: the examples copied into its
// directory, the moderation on a file there, the metrics.
bool startQuietClient(PanelClient& panel, const std::string& program) {
  testing::copyExamples(std::string(GSADMIN_SOURCE_DIR) + "/examples", panel.dir.path());
  return panel.start(std::nullopt,
                     {"--script=" + panel.dir.path(), "--db=" + panel.dir.path() + "/moderation.db",
                      "--metrics=127.0.0.1:0"},
                     panel.dir.path(), program);
}

}  // namespace

QuietPanel measureQuietPanel(const std::string& program, int seconds) {
  QuietPanel result;
  PanelClient panel;
  if (!startQuietClient(panel, program)) return result;
  std::vector<testing::WebUser> logins = panel.streamLogins(kQuietStreams);
  if (logins.empty()) return result;
  QuietStreams streams;
  for (const testing::WebUser& login : logins) {
    if (!streams.open(panel.port, login)) return result;
  }
  std::this_thread::sleep_for(kSettle);
  panel.client->drain();
  pid_t pid = panel.client->process().pid();
  std::map<std::string, ThreadReading> before = readThreads(pid);
  Clock::time_point start = Clock::now();
  Clock::time_point end = start + std::chrono::seconds(seconds);
  bool answered = true, streamsOpen = streams.drain();
  uint64_t commentsBefore = streams.comments();
  for (Clock::time_point next = start + kKeepAliveEvery; next < end; next += kKeepAliveEvery) {
    std::this_thread::sleep_until(next);
    panel.client->requestKeepAlive();
    std::this_thread::sleep_for(kAnswerWait);
    answered = panel.client->keepAlivesAnswered() && answered;
    streamsOpen = streams.drain() && streamsOpen;
  }
  std::this_thread::sleep_until(end);
  std::map<std::string, ThreadReading> after = readThreads(pid);
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  streamsOpen = streams.drain() && streamsOpen;
  result.comments = streams.comments() - commentsBefore;
  result.threads = switchesBetween(before, after);
  for (const QuietPanel::Threads& threads : result.threads) result.switches += threads.switches;
  result.perSecond = static_cast<double>(result.switches) / result.seconds;
  result.complete = answered && streamsOpen && !after.empty();
  return result;
}

namespace {

// One run of the steady load on `client`; its CPU seconds, the send times
// of the chat lines in `sent`. Output is read as it comes, so the client
// never waits on its pipe.
std::optional<double> steadyLoad(LiveClient& client, int updatesPerSecond, int chatPerSecond,
                                 int seconds, std::vector<Clock::time_point>& sent,
                                 uint64_t& total) {
  uint64_t updates = 0;
  pid_t pid = client.process().pid();
  std::optional<double> before = testing::cpuSeconds(pid);
  Clock::time_point start = Clock::now();
  Clock::time_point end = start + std::chrono::seconds(seconds);
  auto chatEvery = std::chrono::microseconds(1000000 / chatPerSecond);
  Clock::time_point nextChat = start;
  double perTick = updatesPerSecond * std::chrono::duration<double>(kTick).count();
  uint64_t due = 0;
  for (Clock::time_point tick = start; tick < end; tick += kTick) {
    std::this_thread::sleep_until(tick);
    due = static_cast<uint64_t>(perTick * static_cast<double>((tick - start) / kTick + 1));
    for (; updates < due; ++updates) {
      float x = static_cast<float>(updates % 1000);
      client.peer().send(testing::positionUpdate(kPanelPlayer, 0, 100.0f, x, -x, 10.0f));
    }
    if (tick >= nextChat) {
      sent.push_back(Clock::now());
      client.peer().send(
          testing::chatLine(kPanelPlayer, 0, "ping " + std::to_string(sent.size() - 1)));
      nextChat += chatEvery;
      while (client.process().nextLine(1)) {
      }
    }
  }
  total += updates;
  bool answered = client.sync();
  std::optional<double> after = testing::cpuSeconds(pid);
  if (!answered || !before || !after) return std::nullopt;
  return *after - *before;
}

}  // namespace

PanelLoad measurePanelLoad(const std::string& program, int streams, int updatesPerSecond,
                           int chatPerSecond, int seconds, int rounds) {
  PanelLoad result;
  result.streams = streams;
  PanelClient panel;
  LiveClient plain(std::nullopt, true, {}, std::nullopt, program);
  if (!panel.start(std::nullopt, {}, std::nullopt, program) ||
      !plain.connect({{kPanelPlayer, "Bob", 0, true}})) {
    return result;
  }
  std::vector<testing::WebUser> logins = panel.streamLogins(streams);
  if (logins.empty()) return result;
  int lines = chatPerSecond * seconds * rounds + rounds;
  StreamReaders readers(panel.port, logins, streams, lines);
  if (!readers.waitOpen(10000)) return result;
  std::vector<Clock::time_point> sent, ignored;
  uint64_t withUpdates = 0, withoutUpdates = 0;
  std::map<std::string, double> threadsCpu;
  bool ran = true;
  for (int round = 0; round < rounds && ran; ++round) {
    std::optional<double> without =
        steadyLoad(plain, updatesPerSecond, chatPerSecond, seconds, ignored, withoutUpdates);
    std::map<std::string, double> threadsBefore = threadCpu(panel.client->process().pid());
    std::optional<double> with =
        steadyLoad(*panel.client, updatesPerSecond, chatPerSecond, seconds, sent, withUpdates);
    for (const auto& [name, cpu] : threadCpu(panel.client->process().pid())) {
      threadsCpu[name] += cpu - threadsBefore[name];
    }
    ran = with && without;
    result.cpuWith += with.value_or(0);
    result.cpuWithout += without.value_or(0);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  readers.stop([&]() { panel.client->peer().send(testing::chatLine(kPanelPlayer, 0, "bye")); });
  std::vector<double> latencies;
  for (size_t stream = 0; stream < static_cast<size_t>(streams); ++stream) {
    for (size_t line = 0; line < sent.size() && line < static_cast<size_t>(lines); ++line) {
      if (std::optional<Clock::time_point> seen = readers.seen(stream, line)) {
        latencies.push_back(std::chrono::duration<double, std::milli>(*seen - sent[line]).count());
      }
    }
  }
  std::sort(latencies.begin(), latencies.end());
  result.samples = static_cast<int64_t>(latencies.size());
  result.expected = static_cast<int64_t>(sent.size()) * streams;
  result.medianMs = percentile(latencies, 0.5);
  result.p99Ms = percentile(latencies, 0.99);
  result.ratio = result.cpuWithout > 0 ? result.cpuWith / result.cpuWithout : 0;
  result.cpuByThread.assign(threadsCpu.begin(), threadsCpu.end());
  std::sort(result.cpuByThread.begin(), result.cpuByThread.end(),
            [](const auto& a, const auto& b) { return a.second > b.second; });
  result.sentPerSecond = static_cast<double>(withUpdates) / (seconds * rounds);
  result.complete = ran && result.samples == result.expected;
  return result;
}

namespace {

std::string format(const char* pattern, double a, double b = 0, double c = 0) {
  char text[160];
  std::snprintf(text, sizeof text, pattern, a, b, c);
  return text;
}

}  // namespace

void addQuietPanelRows(const QuietPanel& quiet, const std::string& label,
                       std::vector<ResultRow>& rows) {
  rows.push_back(
      {"(c) all threads' wakeups, idle with moderation, --metrics, nine examples and "
       "two streams (" +
           label + ")",
       format("%.3f/s (%.0f in %.0f s, ", quiet.perSecond, static_cast<double>(quiet.switches),
              quiet.seconds) +
           format("%.0f stream comments)", static_cast<double>(quiet.comments)),
       "<= 0.25/s", quiet.complete && quiet.perSecond <= kQuietTarget});
  std::string breakdown;
  for (const QuietPanel::Threads& threads : quiet.threads) {
    if (threads.switches == 0) continue;
    if (!breakdown.empty()) breakdown += ", ";
    breakdown += threads.name + (threads.count > 1 ? " x" + std::to_string(threads.count) : "") +
                 " " + std::to_string(threads.switches) + " (" +
                 std::to_string(threads.involuntary) + " preempted)";
  }
  rows.push_back({"(c) same, by thread (" + label + ")", breakdown.empty() ? "none" : breakdown, "",
                  std::nullopt});
}

void addPanelLoadRows(const PanelLoad& load, const std::string& label,
                      std::vector<ResultRow>& rows) {
  std::string streams = std::to_string(load.streams) + " streams";
  rows.push_back({"(g) CPU with " + streams +
                      ", 100000 updates/s + 100 chat lines/s, of panel "
                      "off (" +
                      label + ")",
                  format("%.2f (%.2f s / %.2f s)", load.ratio, load.cpuWith, load.cpuWithout),
                  "<= 1.10", load.complete && load.ratio > 0 && load.ratio <= kLoadTarget});
  rows.push_back({"(g) same, chat line to every stream, p99 (" + label + ")",
                  format("%.1f ms (median %.1f ms)", load.p99Ms, load.medianMs), "< 50 ms",
                  load.complete && load.p99Ms < kLoadLatencyTargetMs});
  std::string threads;
  for (const auto& [name, cpu] : load.cpuByThread) {
    if (cpu <= 0) continue;
    threads += (threads.empty() ? "" : ", ") + name + format(" %.2f s", cpu);
  }
  rows.push_back({"(g) same, panel on: CPU by thread (" + label + ")", threads, "", std::nullopt});
  rows.push_back({"(g) same, updates sent / lines seen (" + label + ")",
                  format("%.0f/s, %.0f of %.0f", load.sentPerSecond,
                         static_cast<double>(load.samples), static_cast<double>(load.expected)),
                  "all", load.complete});
}

std::vector<ResultRow> quietPanelRows(const std::string& before, int idleSeconds) {
  std::vector<ResultRow> rows;
  if (!before.empty()) addQuietPanelRows(measureQuietPanel(before, idleSeconds), "before", rows);
  addQuietPanelRows(measureQuietPanel(testing::ClientProcess::defaultBinary(), idleSeconds), "now",
                    rows);
  return rows;
}

std::vector<ResultRow> panelLoadRows(const std::string& before) {
  std::vector<ResultRow> rows;
  auto measure = [](const std::string& program) {
    return measurePanelLoad(program, kLoadStreams, kLoadUpdatesPerSecond, kLoadChatPerSecond,
                            kLoadSeconds, kLoadRounds);
  };
  if (!before.empty()) addPanelLoadRows(measure(before), "before", rows);
  addPanelLoadRows(measure(testing::ClientProcess::defaultBinary()), "now", rows);
  return rows;
}

void appendPanelCostRows(const std::string& before, int idleSeconds, std::vector<ResultRow>& rows) {
  for (ResultRow& row : quietPanelRows(before, idleSeconds)) rows.push_back(row);
  for (ResultRow& row : panelLoadRows(before)) rows.push_back(row);
}

const char kPanelCostNotes[] =
    "- (c) all threads: the real binary run from a copy of examples/ with all nine\n"
    "  scripts, the moderation on a SQLite file, --metrics and the panel, two event\n"
    "  streams open; after 6 s to settle, the voluntary and involuntary context\n"
    "  switches of every thread (/proc/<pid>/task/*/status) over the idle seconds,\n"
    "  with a keep-alive request each 5 s (whose handling is the floor, 0.2/s).\n"
    "  The peer reads the answers and the streams only when it looks, 200 ms\n"
    "  after each request: a reader waiting on its socket would be woken by the\n"
    "  client's write and preempt it on this machine, which one elsewhere does\n"
    "  not. \"preempted\" counts the involuntary switches among them.\n"
    "- (g) CPU under load: two real binaries, one with the panel and 20 event\n"
    "  streams open, one without --http; each in turn gets 100 000 position\n"
    "  updates a second (sent each millisecond) and 100 chat lines a second for\n"
    "  5 s, four times; the ratio of their utime + stime over those runs. The p99\n"
    "  is that of each chat line's time from its datagram to each stream.\n";

}  // namespace gsadmin::bench
