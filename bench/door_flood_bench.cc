#include "door_flood_bench.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "live_client.h"
#include "support/door_flood.h"
#include "support/proc_stats.h"

namespace gsadmin::bench {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kTimerIntervalMs = 20;
constexpr int kChatLines = 1000000;
// A keep-alive request this often, as a server sends them.
constexpr int kKeepAliveEveryCalls = 100;

// "!lag INTERVAL COUNT" on the admin channel starts a timer; every call
// sends "lag=<ms>", how late it came, as a chat line.
const char kLagScript[] =
    "local started, interval, fired = 0, 0, 0\n"
    "function tick(id)\n"
    "  fired = fired + 1\n"
    "  sendChat('lag=' .. (getTickCount() - started - fired * interval))\n"
    "end\n"
    "function onAdmin(text)\n"
    "  if gettok(text, 0, ' ') ~= '!lag' then return end\n"
    "  interval = tonumber(gettok(text, 1, ' '))\n"
    "  started = getTickCount()\n"
    "  setTimer('tick', interval, tonumber(gettok(text, 2, ' ')))\n"
    "end\n"
    "addEventHandler('onAdminChat', 'onAdmin')\n";

double percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  auto index = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(index, values.size() - 1)];
}

// Waits until `port` answers HTTP; false after `timeoutMs`.
bool waitForPanel(int port, int timeoutMs) {
  auto end = Clock::now() + milliseconds(timeoutMs);
  while (Clock::now() < end) {
    if (testing::rawRequest(port, testing::requestText("GET", "/api/session"), 1000) > 0) {
      return true;
    }
    std::this_thread::sleep_for(milliseconds(50));
  }
  return false;
}

std::string number(double value, int decimals, const char* unit) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f%s", decimals, value, unit);
  return text;
}

}  // namespace

const char kFloodNotes[] =
    "- (i) The real binary under a limit of 1 024 descriptors (prlimit), with its panel\n"
    "  and metrics on loopback, moderating into a SQLite file holding a million chat\n"
    "  lines of the last day. For 20 s every door is flooded at once: 1 000 idle\n"
    "  connections from rotating loopback addresses (one in ten on the metrics port),\n"
    "  16 connections sending header lines without end (and 4 on the metrics port),\n"
    "  200 threads trying wrong passwords for one account from rotating addresses,\n"
    "  40 threads reading the day's charts as a level-1 account, and 50 event streams\n"
    "  of that account. Meanwhile a script's 20 ms timer reports how late each call\n"
    "  came, RSS is sampled every 200 ms, and half-way through a browser that logged\n"
    "  in before logs in again. \"before\" is the binary given with --before.\n";

namespace {

constexpr char kAliceLogin[] = R"({"name":"alice","password":"secret"})";

// Fills the client's database, logs it in to its peer, then logs in mia
// for the flood's reads and streams and alice's browser, whose cookies
// go to *knownBrowser. False when any step failed.
bool prepare(LiveClient& client, const std::string& db, testing::DoorFloodPlan& plan,
             httplib::Headers* knownBrowser) {
  // The chat lines go in before the login, so that the server's silence
  // meanwhile does not count.
  if (!waitForPanel(plan.panelPort, 10000) || !testing::addChatLines(db, kChatLines) ||
      !client.connect({{1, "Ann", 0, true}})) {
    return false;
  }
  httplib::Client http("127.0.0.1", plan.panelPort);
  http.set_read_timeout(10, 0);
  std::optional<testing::WebUser> mia = testing::logIn(http, "mia", "secret");
  httplib::Result first = http.Post("/api/login", kAliceLogin, "application/json");
  if (!mia || !first || first->status != 200) return false;
  plan.reader = *mia;
  *knownBrowser = {{"Cookie", testing::cookiesOf(first)}};
  return true;
}

// Starts the script's timer for `count` calls and reads how late each came,
// sending keep-alive requests as a server does; fewer when calls stopped.
std::vector<double> readLags(LiveClient& client, uint64_t count) {
  client.peer().send(testing::chatLine(
      0, 3, "!lag " + std::to_string(kTimerIntervalMs) + " " + std::to_string(count)));
  std::vector<double> lags;
  for (uint64_t i = 0; i < count; ++i) {
    if (i % kKeepAliveEveryCalls == 0) client.peer().send(testing::keepAliveRequest());
    std::optional<std::string> lag = client.nextChat("lag=", 35000);
    if (!lag) break;
    lags.push_back(std::strtod(lag->c_str(), nullptr));
  }
  return lags;
}

// After `delay`, logs in as the browser that logged in before, timed.
void timeKnownLogin(int port, const httplib::Headers& browser, milliseconds delay,
                    DoorFloodFigures* figures) {
  std::this_thread::sleep_for(delay);
  httplib::Client late("127.0.0.1", port);
  late.set_read_timeout(30, 0);
  auto start = Clock::now();
  httplib::Result answer = late.Post("/api/login", browser, kAliceLogin, "application/json");
  figures->knownLoginMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  figures->knownLoginStatus = answer ? answer->status : -1;
}

}  // namespace

DoorFloodFigures measureDoorFlood(const std::string& binary, int seconds) {
  DoorFloodFigures figures;
  testing::TempDir dir;
  testing::DoorFloodPlan plan;
  plan.panelPort = testing::unusedLoopbackPort();
  plan.metricsPort = testing::unusedLoopbackPort();
  std::string db = dir.path() + "/flood.db";
  LiveClient client(
      std::string(kLagScript), false,
      {"--nofile=1024", binary, "--no-input", "--http=127.0.0.1:" + std::to_string(plan.panelPort),
       "--http-users=" + testing::writeUsers(dir),
       "--metrics=127.0.0.1:" + std::to_string(plan.metricsPort), "--db=" + db},
      std::nullopt, "/usr/bin/prlimit");
  httplib::Headers knownBrowser;
  if (!prepare(client, db, plan, &knownBrowser)) return figures;
  figures.started = true;

  testing::DoorFlood flood(plan);
  flood.start();
  std::atomic<bool> running{true};
  std::atomic<uint64_t> peakKiB{0};
  std::thread sampler([&] {
    while (running) {
      peakKiB =
          std::max<uint64_t>(peakKiB, testing::residentKiB(client.process().pid()).value_or(0));
      std::this_thread::sleep_for(milliseconds(200));
    }
  });
  std::thread knownLogin(timeKnownLogin, plan.panelPort, knownBrowser, milliseconds(seconds * 500),
                         &figures);
  figures.timerExpected = static_cast<uint64_t>(seconds * 1000 / kTimerIntervalMs);
  std::vector<double> lags = readLags(client, figures.timerExpected);
  knownLogin.join();
  flood.stop();
  running = false;
  sampler.join();

  figures.timerCalls = lags.size();
  figures.lagP99Ms = percentile(lags, 0.99);
  figures.lagMaxMs = lags.empty() ? 0 : *std::max_element(lags.begin(), lags.end());
  figures.peakRssKiB = peakKiB;
  figures.sessionDropped = client.logins() > 1 || !client.sync(5000);
  figures.guessesChecked = flood.counts().loginsRefused;
  figures.chartAnswers = flood.counts().chartAnswers;
  return figures;
}

void addDoorFloodRows(const DoorFloodFigures& figures, const std::string& label, int seconds,
                      std::vector<ResultRow>& rows) {
  std::string prefix = "(i) door flood, " + label + ": ";
  if (!figures.started) {
    rows.push_back({prefix + "did not start", "", "", false});
    return;
  }
  bool complete = figures.timerCalls == figures.timerExpected;
  rows.push_back({prefix + "20 ms timer lateness, p99 / max",
                  number(figures.lagP99Ms, 0, " ms") + " / " + number(figures.lagMaxMs, 0, " ms") +
                      " (" + std::to_string(figures.timerCalls) + " of " +
                      std::to_string(figures.timerExpected) + " calls)",
                  "< 50 ms p99, all calls", complete && figures.lagP99Ms < 50});
  rows.push_back({prefix + "peak RSS", number(figures.peakRssKiB / 1024.0, 0, " MiB"), "< 256 MiB",
                  figures.peakRssKiB < 256 * 1024});
  rows.push_back(
      {prefix + "known browser's login",
       std::to_string(figures.knownLoginStatus) + " in " + number(figures.knownLoginMs, 0, " ms"),
       "200 in < 2000 ms", figures.knownLoginStatus == 200 && figures.knownLoginMs < 2000});
  rows.push_back({prefix + "session kept", figures.sessionDropped ? "dropped" : "kept", "kept",
                  !figures.sessionDropped});
  rows.push_back({prefix + "wrong passwords checked for one account",
                  std::to_string(figures.guessesChecked) + " in " + std::to_string(seconds) + " s",
                  "<= 5 a minute", figures.guessesChecked <= 5});
  rows.push_back(
      {prefix + "chart reads answered", std::to_string(figures.chartAnswers), "", std::nullopt});
}

}  // namespace gsadmin::bench
