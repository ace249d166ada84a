#include "page_bench.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <string>
#include <thread>

#include "bench_statistics.h"
#include "live_client.h"
#include "support/panel_client.h"

namespace gsadmin::bench {
namespace {

constexpr int kPlayers = 256;
constexpr int kUpdatesPerPlayerSecond = 10;
constexpr uint8_t kWatched = 1;
constexpr int kMarkEveryMs = 100;
constexpr int kWatchSeconds = 30;
constexpr double kMaxPageKiB = 250;
constexpr double kShowWithinMs = 1000;

int64_t epochMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// The bytes of the page and of every file it names (src= and href=).
size_t pageBytes(int port) {
  httplib::Client http("127.0.0.1", port);
  httplib::Result page = http.Get("/");
  if (!page || page->status != 200) return 0;
  size_t bytes = page->body.size();
  std::set<std::string> files;
  std::regex named(R"re((?:src|href)="(/[^"#?]+)")re");
  for (std::sregex_iterator at(page->body.begin(), page->body.end(), named), end; at != end; ++at) {
    files.insert((*at)[1].str());
  }
  for (const std::string& file : files) {
    httplib::Result got = http.Get(file);
    if (got && got->status == 200) bytes += got->body.size();
  }
  return bytes;
}

// Plays 256 moving players until `until`; the watched player's health
// changes every kMarkEveryMs, and each health's send time is noted.
void play(LiveClient& client, std::chrono::steady_clock::time_point until,
          std::map<int, std::vector<int64_t>>& marks) {
  auto start = std::chrono::steady_clock::now();
  uint64_t sent = 0;
  int64_t marked = 0;
  int health = 50;
  while (std::chrono::steady_clock::now() < until) {
    auto elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now() - start)
                         .count();
    auto due = static_cast<uint64_t>(elapsedMs) * kPlayers * kUpdatesPerPlayerSecond / 1000;
    for (; sent < due; ++sent) {
      auto id = static_cast<uint8_t>(sent % kPlayers);
      if (id == kWatched) continue;
      float x = static_cast<float>(sent % 1000);
      client.peer().send(testing::positionUpdate(id, 0, 100.0f, x, -x, 10.0f));
    }
    if (elapsedMs / kMarkEveryMs >= marked) {
      ++marked;
      health = health >= 99 ? 1 : health + 1;
      marks[health].push_back(epochMs());
      client.peer().send(testing::positionUpdate(kWatched, 0, static_cast<float>(health)));
    }
    client.drain();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// Whether the page showing `shown` shows mark `health` or one after it:
// the table shows the latest state, so a mark overtaken by the next before
// the page drew counts as shown when the next is.
bool showsOrLater(int shown, int health) {
  int ahead = (shown - health + 99) % 99;
  return shown > 0 && ahead < 10;
}

// The delay of each mark until the page showed its health, or a later
// mark's, in ms.
std::vector<double> delays(const std::string& seenPath,
                           const std::map<int, std::vector<int64_t>>& marks, size_t* missed) {
  std::vector<std::pair<double, int>> seen;
  double from = 0;
  double to = 0;
  std::ifstream lines(seenPath);
  for (std::string line; std::getline(lines, line);) {
    nlohmann::json change = nlohmann::json::parse(line, nullptr, false);
    if (!change.is_object()) continue;
    if (change.contains("watched")) {
      from = change["watched"][0].get<double>();
      to = change["watched"][1].get<double>();
      continue;
    }
    seen.emplace_back(change.value("at", 0.0), std::atoi(change.value("health", "").c_str()));
  }
  std::vector<double> result;
  *missed = 0;
  // Marks sent while the page watched, with time to show before it stopped.
  for (const auto& [health, times] : marks) {
    for (int64_t sentAt : times) {
      auto at = static_cast<double>(sentAt);
      if (at <= from || at + kShowWithinMs >= to) continue;
      auto shown = std::find_if(seen.begin(), seen.end(), [&](const auto& change) {
        return change.first + 1 >= static_cast<double>(sentAt) &&
               showsOrLater(change.second, health);
      });
      if (shown == seen.end()) {
        ++*missed;
      } else {
        result.push_back(std::max(0.0, shown->first - static_cast<double>(sentAt)));
      }
    }
  }
  return result;
}

}  // namespace

std::vector<ResultRow> pageRows() {
  std::printf("(q) the panel's page: weight, table updates in Chromium\n");
  std::fflush(stdout);
  testing::TempDir dir;
  LiveClient client(std::nullopt, true,
                    {"--http=127.0.0.1:0", "--http-users=" + testing::writeUsers(dir)});
  int port = testing::portOf(client.process(), "Panel");
  std::vector<ListedPlayer> players;
  for (int id = 0; id < kPlayers; ++id) {
    players.push_back({static_cast<uint8_t>(id), "Player" + std::to_string(id), 0, true});
  }
  if (port == 0 || !client.connect(players)) return {{"(q) panel page", "did not run", "", false}};
  std::vector<ResultRow> rows;
  double kib = static_cast<double>(pageBytes(port)) / 1024;
  rows.push_back({"(q) panel page weight: the page and every file it loads", fixed(kib, 1, " KiB"),
                  "< 250 KiB", kib > 0 && kib < kMaxPageKiB});

  std::string seenPath = dir.path() + "/seen.jsonl";
  std::string url = "http://127.0.0.1:" + std::to_string(port) + "/";
  testing::ClientProcess probe(
      {GSADMIN_BENCH_SOURCE "/page_probe.py", url, std::to_string(kWatched),
       std::to_string(kWatchSeconds + 5), seenPath},
      std::nullopt, "/usr/bin/python3");
  std::map<int, std::vector<int64_t>> marks;
  // The probe logs in and waits for the table before it watches: play
  // before, so that the table fills, and mark only within its watch.
  play(client, std::chrono::steady_clock::now() + std::chrono::seconds(kWatchSeconds + 10), marks);
  int status = probe.waitExit(30000);
  if (status != 0) {
    rows.push_back({"(q) table update in Chromium", "did not run (" + std::to_string(status) + ")",
                    "p99 < 100 ms", std::nullopt});
    return rows;
  }
  size_t missed = 0;
  std::vector<double> delayed = delays(seenPath, marks, &missed);
  rows.push_back({"(q) 256 players at 10 updates/s: a change to the table in Chromium, p99",
                  fixed(percentileOf(delayed, 0.99), 1, " ms"), "< 100 ms",
                  !delayed.empty() && percentileOf(delayed, 0.99) < 100});
  rows.push_back({"(q) same, median / max, changes seen",
                  fixed(percentileOf(delayed, 0.5), 1, " ms") + " / " +
                      fixed(percentileOf(delayed, 1.0), 1, " ms") + ", " +
                      std::to_string(delayed.size()) + " (" + std::to_string(missed) +
                      " not shown)",
                  "", std::nullopt});
  return rows;
}

const char kPageNotes[] =
    "- (q) The real binary with its panel and 256 players listed. The page's\n"
    "  weight is the bytes of / and of every file it names (src= and href=), as\n"
    "  served. Then bench/page_probe.py logs in with headless Chromium and, once\n"
    "  the table is full, watches one player's health cell (a MutationObserver,\n"
    "  the page's clock) while the peer sends 10 position updates a second for\n"
    "  each of the 256 players and changes the watched player's health every\n"
    "  100 ms; each change's delay runs from its send to the cell showing it.\n";

}  // namespace gsadmin::bench
