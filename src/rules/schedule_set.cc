// Reading a schedule file: [[schedule]] tables, each a cron-like time in a
// zone and one thing to do.

#include <algorithm>
#include <map>
#include <set>

#include "base/durations.h"
#include "platform/regular_file.h"
#include "rules/schedule.h"
#include "rules/toml_reader.h"

namespace gsadmin {
namespace {

constexpr size_t kMaxEntryNameBytes = 64;
constexpr size_t kMaxEntryTextBytes = 400;
constexpr int64_t kLeapYearStart = 1704067200;  // 2024-01-01 00:00 UTC

struct Reading {
  TomlReader& reader;
  const std::string& zoneRoot;
  std::map<std::string, std::shared_ptr<const TimeZone>> zones;
};

bool readWhat(Reading& in, const toml::table& table, ScheduleEntry& entry) {
  using What = ScheduleEntry::What;
  constexpr std::pair<const char*, What> kKeys[] = {{"chat", What::kChat},
                                                    {"admins", What::kAdmins},
                                                    {"command", What::kCommand},
                                                    {"call", What::kCall}};
  int found = 0;
  for (const auto& [key, what] : kKeys) {
    std::optional<std::string> text = in.reader.text(table, key, kMaxEntryTextBytes, false);
    if (in.reader.failed()) return false;
    if (!text) continue;
    if (text->empty()) return in.reader.fail(in.reader.lineOf(table, key), "an empty text");
    ++found;
    entry.what = what;
    entry.text = std::move(*text);
  }
  if (found != 1) {
    return in.reader.fail(static_cast<int>(table.source().begin.line),
                          "one of \"chat\", \"admins\", \"command\" or \"call\" is needed");
  }
  if (entry.what == What::kCommand && !entry.text.starts_with('.')) {
    return in.reader.fail(in.reader.lineOf(table, "command"),
                          "a command is a console line: \".kick ...\"");
  }
  if (entry.what == What::kCall && std::count(entry.text.begin(), entry.text.end(), '.') == 0) {
    return in.reader.fail(in.reader.lineOf(table, "call"), "a call is \"script.function\"");
  }
  return true;
}

bool readZone(Reading& in, const toml::table& table, ScheduleEntry& entry) {
  std::string name = in.reader.text(table, "zone", kMaxEntryNameBytes, false).value_or("UTC");
  if (in.reader.failed()) return false;
  auto known = in.zones.find(name);
  if (known == in.zones.end()) {
    std::string why;
    std::optional<TimeZone> zone = TimeZone::load(name, &why, in.zoneRoot);
    if (!zone) return in.reader.fail(in.reader.lineOf(table, "zone"), why);
    known = in.zones.emplace(name, std::make_shared<const TimeZone>(std::move(*zone))).first;
  }
  entry.zone = known->second;
  return true;
}

bool readCountdown(Reading& in, const toml::table& table, ScheduleEntry& entry) {
  std::optional<std::vector<std::string>> steps =
      in.reader.texts(table, "warn", kMaxCountdownSteps, kMaxEntryNameBytes);
  if (!steps) return false;
  for (const std::string& step : *steps) {
    std::optional<int64_t> seconds = parseDuration(step);
    if (!seconds || *seconds > kMaxCountdownSeconds) {
      return in.reader.fail(in.reader.lineOf(table, "warn"),
                            "\"warn\" needs durations such as \"15m\", each at most " +
                                formatDuration(kMaxCountdownSeconds));
    }
    entry.countdown.push_back(*seconds);
  }
  std::sort(entry.countdown.rbegin(), entry.countdown.rend());
  entry.countdown.erase(std::unique(entry.countdown.begin(), entry.countdown.end()),
                        entry.countdown.end());
  bool says =
      entry.what == ScheduleEntry::What::kChat || entry.what == ScheduleEntry::What::kAdmins;
  if (!entry.countdown.empty() && !says) {
    return in.reader.fail(in.reader.lineOf(table, "warn"),
                          "a countdown needs a \"chat\" or \"admins\" text to say");
  }
  return true;
}

std::optional<ScheduleEntry> readEntry(Reading& in, const toml::table& table) {
  if (!in.reader.onlyKeys(table, {"name", "at", "zone", "chat", "admins", "command", "call", "warn",
                                  "every_minute"})) {
    return std::nullopt;
  }
  ScheduleEntry entry;
  entry.line = static_cast<int>(table.source().begin.line);
  std::optional<std::string> name = in.reader.text(table, "name", kMaxEntryNameBytes, true);
  std::optional<std::string> at =
      name ? in.reader.text(table, "at", kMaxEntryNameBytes * 4, true) : std::nullopt;
  if (!at) return std::nullopt;
  entry.name = std::move(*name);
  std::string why;
  std::optional<Cron> cron = Cron::parse(*at, &why);
  if (!cron) {
    in.reader.fail(in.reader.lineOf(table, "at"), why);
    return std::nullopt;
  }
  entry.cron = *cron;
  // Any year holds every day a leap year does: 2024 tells what can fire.
  if (!cron->next(TimeZone(), kLeapYearStart)) {
    in.reader.fail(in.reader.lineOf(table, "at"), "\"" + *at + "\" names no day that exists");
    return std::nullopt;
  }
  std::optional<bool> everyMinute = in.reader.boolean(table, "every_minute");
  if (in.reader.failed()) return std::nullopt;
  if (cron->everyMinute() && !everyMinute.value_or(false)) {
    in.reader.fail(in.reader.lineOf(table, "at"),
                   "\"" + *at + "\" fires every minute: say every_minute = true if meant");
    return std::nullopt;
  }
  if (!readWhat(in, table, entry) || !readZone(in, table, entry) ||
      !readCountdown(in, table, entry)) {
    return std::nullopt;
  }
  return entry;
}

}  // namespace

std::optional<ScheduleSet> parseScheduleSet(std::string_view text, const std::string& path,
                                            std::string* error, const std::string& zoneRoot) {
  error->clear();
  TomlReader reader(path, error);
  std::optional<toml::table> root = reader.parse(text, kMaxScheduleFileBytes);
  if (!root) return std::nullopt;
  std::optional<std::vector<const toml::table*>> tables =
      reader.arrayOfTables(*root, "schedule", kMaxScheduleEntries);
  if (!tables) return std::nullopt;
  Reading in{reader, zoneRoot, {}};
  ScheduleSet set;
  set.path = path;
  std::set<std::string> names;
  for (const toml::table* table : *tables) {
    std::optional<ScheduleEntry> entry = readEntry(in, *table);
    if (!entry) return std::nullopt;
    if (!names.insert(entry->name).second) {
      reader.fail(entry->line, "a second entry named \"" + entry->name + "\"");
      return std::nullopt;
    }
    set.entries.push_back(std::move(*entry));
  }
  set.warnings = reader.takeWarnings();
  return set;
}

std::optional<ScheduleSet> loadScheduleSet(const std::string& path, std::string* error,
                                           const std::string& zoneRoot) {
  std::optional<std::string> text = readRegularFile(path, kMaxScheduleFileBytes, error);
  if (!text) return std::nullopt;
  return parseScheduleSet(*text, path, error, zoneRoot);
}

}  // namespace gsadmin
