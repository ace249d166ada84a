#include "before_after_bench.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "ban_check_bench.h"
#include "ban_start_bench.h"
#include "fleet_bench.h"
#include "handler_path_bench.h"

namespace gsadmin::bench {
namespace {

constexpr double kMostIrRatio = 1.02;
constexpr double kMostJoinP99Us = 1000;
constexpr int kHandlerPathEvents = 20000;
// JSON lines may cost the handler path this much more than text lines.
constexpr double kMostJsonLogRatio = 1.05;
constexpr int kBans = 1000000;
constexpr int kJoins = 10000;

std::string thisBench() {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/exe", error).string();
}

// The bench of the build whose gsadmin is `binary`; empty when none is there.
std::string benchBeside(const std::string& binary) {
  if (binary.empty()) return "";
  std::filesystem::path bench =
      std::filesystem::absolute(binary).parent_path() / "bench" / "gsadmin_bench";
  return std::filesystem::exists(bench) ? bench.string() : "";
}

std::string formatted(const char* format, double a, double b = 0, double c = 0) {
  char text[128];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

struct BanFigures {
  bool ran = false;
  double p99Us = 0;
  double maxUs = 0;
  double loadMs = 0;
};

// Runs `bench` --ban-check-figures=`run` and reads its line.
BanFigures banFiguresOf(const std::string& bench, const std::string& run) {
  BanFigures figures;
  std::string command = "'" + bench + "' --ban-check-figures=" + run + " 2>/dev/null";
  FILE* child = popen(command.c_str(), "r");
  if (child == nullptr) return figures;
  char line[256];
  while (std::fgets(line, sizeof line, child) != nullptr) {
    int complete = 0;
    if (std::sscanf(line, "ban-check p99=%lf max=%lf load=%lf complete=%d", &figures.p99Us,
                    &figures.maxUs, &figures.loadMs, &complete) == 4) {
      figures.ran = complete == 1;
    }
  }
  figures.ran = pclose(child) == 0 && figures.ran;
  return figures;
}

void addBanRow(const std::string& what, const BanFigures& figures, std::vector<ResultRow>& rows) {
  if (!figures.ran) {
    rows.push_back({what, "did not run", "p99 < 1000 us", false});
    return;
  }
  rows.push_back({what,
                  formatted("%.0f us / %.0f us (bans read in %.0f ms)", figures.p99Us,
                            figures.maxUs, figures.loadMs),
                  "p99 < 1000 us", figures.p99Us < kMostJoinP99Us});
}

}  // namespace

std::vector<ResultRow> handlerPathRows(const std::string& beforeBinary, int events) {
  std::vector<ResultRow> rows;
  std::string before = benchBeside(beforeBinary);
  for (const char* kind : kFeedKinds) {
    std::string what = std::string("(j) Lua handler path, ") + kind + ": Ir per event";
    bool targeted = std::string(kind) != "word";
    InstructionCount now = countHandlerPath(thisBench(), kind, events);
    if (!now.ran) {
      std::fprintf(stderr, "handler path, %s: %s\n", kind, now.failure.c_str());
      rows.push_back({what + ", now", "did not run", "", false});
      continue;
    }
    if (before.empty()) {
      rows.push_back({what + ", now", formatted("%.0f", now.perEvent()), "", std::nullopt});
      continue;
    }
    InstructionCount earlier = countHandlerPath(before, kind, events);
    if (!earlier.ran) {
      std::fprintf(stderr, "handler path before, %s: %s\n", kind, earlier.failure.c_str());
      rows.push_back({what + ", before / now", "before did not run", "", false});
      continue;
    }
    double ratio = now.perEvent() / earlier.perEvent();
    rows.push_back({what + ", before / now",
                    formatted("%.0f / %.0f (%.4f)", earlier.perEvent(), now.perEvent(), ratio),
                    targeted ? "<= 1.02 of before" : "",
                    targeted ? std::optional<bool>(ratio <= kMostIrRatio) : std::nullopt});
  }
  return rows;
}

std::vector<ResultRow> jsonLogRows(int events) {
  std::string what = "(j) Lua handler path, chat, console text / JSON: Ir per event";
  InstructionCount text = countHandlerPath(thisBench(), kLogFeedKinds[0], events);
  InstructionCount json = countHandlerPath(thisBench(), kLogFeedKinds[1], events);
  if (!text.ran || !json.ran) {
    std::fprintf(stderr, "handler path with logs: %s%s\n", text.failure.c_str(),
                 json.failure.c_str());
    return {{what, "did not run", "", false}};
  }
  double ratio = json.perEvent() / text.perEvent();
  return {{what, formatted("%.0f / %.0f (%.4f)", text.perEvent(), json.perEvent(), ratio),
           "< 1.05 of text", ratio < kMostJsonLogRatio}};
}

std::vector<ResultRow> banCheckRows(const std::string& beforeBinary, int bans, int joins) {
  std::vector<ResultRow> rows;
  std::string before = benchBeside(beforeBinary);
  std::string sizes = std::to_string(bans) + ":" + std::to_string(joins);
  std::string what = "(j) ban check at join, " + std::to_string(bans) + " bans, ";
  for (const char* backend : {"SQLite", "PostgreSQL"}) {
    bool postgres = std::string(backend) == "PostgreSQL";
    std::string run = sizes + (postgres ? ":postgres" : "");
    if (!before.empty()) {
      addBanRow(what + backend + ", before: p99 / max", banFiguresOf(before, run), rows);
    }
    addBanRow(what + backend + ", now: p99 / max", banFiguresOf(thisBench(), run), rows);
  }
  return rows;
}

std::vector<ResultRow> beforeAfterRows(const std::string& beforeBinary) {
  std::printf("(j) Lua handler path and ban check, before and now\n");
  std::fflush(stdout);
  std::vector<ResultRow> rows = handlerPathRows(beforeBinary, kHandlerPathEvents);
  std::vector<ResultRow> logs = jsonLogRows(kHandlerPathEvents);
  rows.insert(rows.end(), logs.begin(), logs.end());
  std::vector<ResultRow> bans = banCheckRows(beforeBinary, kBans, kJoins);
  rows.insert(rows.end(), bans.begin(), bans.end());
  std::vector<ResultRow> start = banStartRows(beforeBinary);
  rows.insert(rows.end(), start.begin(), start.end());
  return rows;
}

int runBanCheckFigures(const std::string& run) {
  int bans = std::atoi(run.c_str());
  size_t colon = run.find(':');
  int joins = colon == std::string::npos ? 0 : std::atoi(run.c_str() + colon + 1);
  if (bans < 1 || joins < 2) {
    std::fprintf(stderr, "gsadmin_bench: --ban-check-figures=BANS:JOINS[:postgres]\n");
    return 2;
  }
  BanFigures figures;
  if (run.ends_with(":postgres")) {
    // The fleet's ban check, with the least of its other parts.
    FleetResult fleet = measureFleet(1, bans, joins, 1, 100);
    figures = {fleet.ran && fleet.banCheckComplete, fleet.joinP99Us, fleet.joinMaxUs, fleet.loadMs};
  } else {
    BanCheckResult result = measureBanCheck(bans, joins);
    figures = {result.complete, result.joinP99Us, result.joinMaxUs, result.loadMs};
  }
  std::printf("ban-check p99=%.3f max=%.3f load=%.3f complete=%d\n", figures.p99Us, figures.maxUs,
              figures.loadMs, figures.ran ? 1 : 0);
  return figures.ran ? 0 : 1;
}

const char kBeforeAfterNotes[] =
    "- (j) This build beside an earlier one (`--before=PATH`: that build's gsadmin,\n"
    "  whose bench/gsadmin_bench beside it is run), in one run. Lua handler path:\n"
    "  each build's bench run under callgrind (`--collect-atstart=no\n"
    "  --toggle-collect='*feedHandlerBatch*'`) feeding an in-process session\n"
    "  (connected, player 1 known, moderation on its SQLite file) whose one\n"
    "  script counts the events in one handler: after 1000 of warm-up, 20 000\n"
    "  datagrams handed over one at a time, each with a poll, and only that\n"
    "  counted; instructions (Ir) over events handled. position: on-foot updates\n"
    "  to onPlayerPositionChange; chat: public lines to onPlayerChat; word:\n"
    "  public \"!score\" lines, a word no one has, to onPlayerChat. Ban check: as\n"
    "  in (f) on SQLite and as in (h) on PostgreSQL, 1 000 000 bans, each build's\n"
    "  bench in turn (`--ban-check-figures`).\n";

}  // namespace gsadmin::bench
