#include "report_flow_bench.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <sstream>
#include <thread>

#include "panel_streams.h"
#include "report_flow.h"
#include "support/client_process.h"
#include "support/panel_client.h"

namespace gsadmin::bench {
namespace {

using Clock = std::chrono::steady_clock;
using json = nlohmann::json;

constexpr int kReports = 1000;
constexpr int kPerSecond = 50;
constexpr double kLeadSeconds = 8;
constexpr double kTailSeconds = 150;
constexpr double kTargetP99Ms = 50;
// The evidence is copied a minute after a report; a little more for the copy.
constexpr int kEvidenceWaitSeconds = 100;
// The report's window, as docs/moderation.md states it.
constexpr int64_t kEvidenceBefore = 120;
constexpr int64_t kEvidenceAfter = 60;

int64_t epochMicroseconds() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string fileText(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The port in the first line of the file at `path` that holds `needle`
// (":PORT" after it); 0 when none came within `timeoutMs`.
int portInFile(const std::string& path, const std::string& needle, int timeoutMs) {
  auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::regex port(std::regex_replace(needle, std::regex(R"([.])"), R"(\.)") + R"(\S*?:([0-9]+))");
  do {
    std::smatch match;
    std::string text = fileText(path);
    if (std::regex_search(text, match, port)) return std::stoi(match[1]);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (Clock::now() < end);
  return 0;
}

// One event stream of the panel on a thread of its own: the moment each
// report's console line "* Report #N: TgNNNN by" came, by pair.
class ReportStream {
 public:
  ReportStream(int port, const testing::WebUser& user, int reports)
      : arrivals_(static_cast<size_t>(reports)) {
    thread_ = std::thread([this, port, user] { read(port, user); });
  }
  // Joins the reader, which hangs up at the stream's next event.
  ~ReportStream() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  bool waitOpen(int timeoutMs) {
    auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!open_ && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return open_;
  }
  // Waits until every report came or `until`; how many came.
  int waitAll(Clock::time_point until) {
    while (seen_ < static_cast<int>(arrivals_.size()) && Clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return seen_;
  }
  // Ends the stream (at once when every report came, else at its next
  // event: a keep-alive comes within 20 s) and gives (report number,
  // arrival in us) by pair; (0, 0) for a report that never came.
  const std::vector<std::pair<int64_t, int64_t>>& stopped() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return arrivals_;
  }

 private:
  void read(int port, const testing::WebUser& user) {
    static const std::regex kReport(R"(\* Report #(\d+): (Tg\d{4}) by )");
    httplib::Client http("127.0.0.1", port);
    http.set_read_timeout(std::chrono::seconds(300));
    std::string pending;
    http.Get("/api/events", testing::headersOf(user, false), [&](const char* data, size_t size) {
      int64_t now = epochMicroseconds();
      open_ = true;
      pending.append(data, size);
      size_t end = pending.rfind("\n\n");
      if (end == std::string::npos) return !stop_;
      std::string events = pending.substr(0, end);
      pending.erase(0, end + 2);
      for (std::sregex_iterator it(events.begin(), events.end(), kReport), last; it != last; ++it) {
        int pair = pairOf((*it)[2]);
        if (pair < 0 || pair >= static_cast<int>(arrivals_.size())) continue;
        auto& arrival = arrivals_[static_cast<size_t>(pair)];
        if (arrival.second != 0) continue;
        arrival = {std::stoll((*it)[1]), now};
        ++seen_;
      }
      return !stop_ && seen_ < static_cast<int>(arrivals_.size());
    });
  }

  std::vector<std::pair<int64_t, int64_t>> arrivals_;
  std::atomic<bool> open_{false};
  std::atomic<int> seen_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Report `id` as GET /api/reports/N gives it; none when it fails.
std::optional<json> reportOf(httplib::Client& http, const testing::WebUser& user, int64_t id) {
  httplib::Result result = http.Get("/api/reports/" + std::to_string(id), testing::headersOf(user));
  if (!result || result->status != 200) return std::nullopt;
  json report = json::parse(result->body, nullptr, false);
  if (report.is_discarded()) return std::nullopt;
  return report;
}

// Waits until report `id`'s evidence is copied; false when it never was.
bool awaitEvidence(httplib::Client& http, const testing::WebUser& user, int64_t id) {
  auto end = Clock::now() + std::chrono::seconds(kEvidenceWaitSeconds);
  while (Clock::now() < end) {
    std::optional<json> report = reportOf(http, user, id);
    if (report && report->value("collecting", true) == false) return true;
    std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  return false;
}

// A report's evidence in the simulator's words (report_flow.h).
std::vector<std::string> evidenceLines(const json& report) {
  std::vector<std::string> lines;
  for (const json& row : report.value("evidence", json::array())) {
    std::string name = row.value("name", ""), other = row.value("other", "");
    std::string text = row.value("text", "");
    if (row.value("kind", "") == "kill") {
      lines.push_back(name + " kills " + other);
    } else {
      lines.push_back(other.empty() ? name + " says: " + text
                                    : name + " to " + other + ": " + text);
    }
  }
  return lines;
}

// Reads every report back and sets its evidence beside the log.
void compareEvidence(httplib::Client& http, const testing::WebUser& user,
                     const std::vector<std::pair<int64_t, int64_t>>& arrivals,
                     const std::map<int, PairLog>& logs, ReportFlow& flow) {
  for (size_t pair = 0; pair < arrivals.size(); ++pair) {
    if (arrivals[pair].first == 0) continue;
    std::optional<json> report = reportOf(http, user, arrivals[pair].first);
    if (!report || report->value("collecting", true)) continue;
    ++flow.stored;
    int64_t time = report->value("time", int64_t{0});
    std::vector<std::string> evidence = evidenceLines(*report);
    flow.evidenceRows += static_cast<int64_t>(evidence.size());
    auto log = logs.find(static_cast<int>(pair));
    bool named = pairOf(report->value("target", "")) == static_cast<int>(pair);
    if (named && log != logs.end() &&
        evidence == linesWithin(log->second, time - kEvidenceBefore, time + kEvidenceAfter)) {
      ++flow.equal;
    }
  }
}

// The latencies, report line sent to stream line seen, in ms; the rate
// the simulator kept.
void timeArrivals(const std::vector<std::pair<int64_t, int64_t>>& arrivals,
                  const std::map<int, PairLog>& logs, ReportFlow& flow) {
  std::vector<double> ms;
  int64_t first = 0, last = 0;
  for (size_t pair = 0; pair < arrivals.size(); ++pair) {
    auto log = logs.find(static_cast<int>(pair));
    if (log == logs.end() || log->second.reportUs == 0) continue;
    int64_t sent = log->second.reportUs;
    first = first == 0 ? sent : std::min(first, sent);
    last = std::max(last, sent);
    if (arrivals[pair].second == 0) continue;
    ++flow.onStream;
    ms.push_back(static_cast<double>(arrivals[pair].second - sent) / 1000);
  }
  std::sort(ms.begin(), ms.end());
  flow.medianMs = percentile(ms, 0.5);
  flow.p99Ms = percentile(ms, 0.99);
  flow.maxMs = ms.empty() ? 0 : ms.back();
  if (last > first && flow.reports > 1) {
    double rate = (flow.reports - 1) * 1e6 / static_cast<double>(last - first);
    flow.sentPerSecondTimes10 = static_cast<int>(rate * 10 + 0.5);
  }
}

}  // namespace

ReportFlow measureReportFlow(int reports, int perSecond) {
  ReportFlow flow;
  flow.reports = reports;
  testing::TempDir dir;
  dir.write("scenario.txt", reportScenario(reports, perSecond, kLeadSeconds, kTailSeconds));
  std::string simLog = dir.path() + "/sim.log", clientLog = dir.path() + "/client.log";
  testing::ClientProcess sim(
      {"--port", "0", "--scenario", dir.path() + "/scenario.txt", "--once", "--epoch-stamps"},
      std::nullopt, GSADMIN_SIM_PATH, simLog);
  int simPort = portInFile(simLog, "listening on 127.0.0.1", 10000);
  if (simPort == 0) return flow;
  testing::ClientProcess client(
      {"--no-input", "--http=127.0.0.1:0", "--http-users=" + testing::writeUsers(dir),
       "--db=" + dir.path() + "/records.db", "127.0.0.1", std::to_string(simPort), "Admin",
       "73519"},
      std::nullopt, testing::ClientProcess::defaultBinary(), clientLog);
  int port = portInFile(clientLog, "Panel: ", 10000);
  if (port == 0) return flow;
  httplib::Client http("127.0.0.1", port);
  std::optional<testing::WebUser> user = testing::logIn(http, "alice", "secret");
  if (!user) return flow;
  ReportStream stream(port, *user, reports);
  if (!stream.waitOpen(5000)) return flow;
  auto until = Clock::now() +
               std::chrono::seconds(static_cast<int>(kLeadSeconds) + 10 + reports / perSecond);
  stream.waitAll(until);
  const std::vector<std::pair<int64_t, int64_t>>& arrivals = stream.stopped();
  int64_t lastId = 0;
  for (const auto& [id, at] : arrivals) lastId = std::max(lastId, id);
  std::map<int, PairLog> logs = readPairLogs(fileText(simLog));
  timeArrivals(arrivals, logs, flow);
  if (lastId == 0 || !awaitEvidence(http, *user, lastId)) return flow;
  compareEvidence(http, *user, arrivals, logs, flow);
  flow.complete = true;
  return flow;
}

namespace {

std::string loadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  if (!(in >> one >> five >> fifteen)) return "unknown";
  return one + " " + five + " " + fifteen;
}

}  // namespace

std::vector<ResultRow> reportFlowRows() {
  std::printf("(r) players' reports from the simulator, about 2 minutes\n");
  std::fflush(stdout);
  ReportFlow flow = measureReportFlow(kReports, kPerSecond);
  std::vector<ResultRow> rows;
  char text[160];
  std::snprintf(text, sizeof text, "%.2f ms", flow.p99Ms);
  rows.push_back({"(r) 1000 reports in game at 50/s: report sent to an open panel stream, p99",
                  text, "< 50 ms",
                  flow.complete && flow.onStream == flow.reports && flow.p99Ms < kTargetP99Ms});
  std::snprintf(text, sizeof text, "%.2f ms / %.2f ms, %d of %d seen, sent at %.1f/s",
                flow.medianMs, flow.maxMs, flow.onStream, flow.reports,
                flow.sentPerSecondTimes10 / 10.0);
  rows.push_back({"(r) same, median / max, reports seen, rate kept", text, "", std::nullopt});
  std::snprintf(text, sizeof text, "%d of %d equal (%d stored, %lld evidence rows)", flow.equal,
                flow.reports, flow.stored, static_cast<long long>(flow.evidenceRows));
  rows.push_back({"(r) same, each stored, its evidence equal to the simulator's log, line for line",
                  text, "all", flow.complete && flow.equal == flow.reports});
  rows.push_back({"(r) load average at the end of the run", loadAverage(), "", std::nullopt});
  return rows;
}

const char kReportFlowNotes[] =
    "- (r) The real simulator (gsadmin-sim --epoch-stamps) plays 1000 pairs of\n"
    "  players to the real client (panel on loopback, records in a SQLite file):\n"
    "  each pair joins, the one to be reported kills the other, says a line, gets\n"
    "  a private message, then is reported by \"!report\" in game, 20 ms after\n"
    "  the pair before; both leave 0.1 s later, so about 140 players are on at a\n"
    "  time and every reporter reports once (no cooldown in the way). One event\n"
    "  stream of the panel, opened before the first report, stamps the report's\n"
    "  console line as it comes; the simulator stamps the \"!report\" line as it\n"
    "  sends it, both by this machine's wall clock. A minute after the last\n"
    "  report its evidence is copied; then each report is read back by\n"
    "  GET /api/reports/N and its evidence (chat lines, private messages, kills)\n"
    "  set beside the simulator's log lines of the same two players stamped within\n"
    "  the report's window (2 minutes before to 1 minute after), in order.\n";

}  // namespace gsadmin::bench
