#include "app/rules_commands.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "app/records_reader.h"
#include "app/replay_records.h"
#include "platform/regular_file.h"
#include "rules/replay_log.h"

namespace gsadmin {
namespace {

std::string civilText(int64_t local) {
  int64_t year = 0;
  unsigned month = 0, day = 0;
  int64_t days = (local >= 0 ? local : local - 86399) / 86400;
  civilFromDays(days, &year, &month, &day);
  int64_t second = local - days * 86400;
  char text[40];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02u %02lld:%02lld", static_cast<long long>(year),
                month, day, static_cast<long long>(second / 3600),
                static_cast<long long>(second / 60 % 60));
  return text;
}

// The next line of `file` without its newline, of at most `most` bytes
// (the rest of a longer one is read past); false at the end.
bool readBoundedLine(std::FILE* file, size_t most, std::string* line) {
  line->clear();
  int c;
  bool any = false;
  while ((c = std::getc(file)) != EOF) {
    any = true;
    if (c == '\n') return true;
    if (line->size() < most) line->push_back(static_cast<char>(c));
  }
  return any;
}

// --replay=db:FROM..TO: the records of --db, over a connection that can
// only read.
int replayFromRecords(RuleSet rules, const Options& options, std::FILE* out, std::FILE* err) {
  std::string_view text = *options.replayPath;
  std::optional<ReplayRange> range =
      parseReplayRange(text.substr(std::string_view(kReplayRecordsPrefix).size()));
  if (!range) {
    std::fprintf(err,
                 "gsadmin: --replay: db:FROM..TO takes two days YYYY-MM-DD (UTC), the first not "
                 "after the last, at most %lld days\n",
                 static_cast<long long>(kMaxReplayDays));
    return 2;
  }
  if (!options.databasePath) {
    std::fprintf(err, "gsadmin: --replay=db: needs --db\n");
    return 2;
  }
  std::unique_ptr<Database> reader = openRecordsReader(options, "--replay", err);
  if (!reader) return 2;
  return replayRecords(std::move(rules), *reader, *range, out, err);
}

// The admins in game a replayed log's name rules compare with (like_admins):
// those of --db, as the client would have them; none without it.
std::optional<std::vector<std::string>> replayedAdmins(const RuleSet& rules, const Options& options,
                                                       std::FILE* err) {
  bool wanted = std::any_of(rules.rules.begin(), rules.rules.end(),
                            [](const Rule& rule) { return rule.likeAdmins; });
  if (!wanted) return std::vector<std::string>{};
  if (!options.databasePath) {
    std::fprintf(err,
                 "gsadmin: --replay: warning: like_admins has no admins in game without --db\n");
    return std::vector<std::string>{};
  }
  std::unique_ptr<Database> reader = openRecordsReader(options, "--replay", err);
  if (!reader) return std::nullopt;
  std::string error;
  std::optional<std::vector<std::string>> names = readGameAdminNames(*reader, &error);
  if (!names) std::fprintf(err, "gsadmin: --replay: %s\n", error.c_str());
  return names;
}

}  // namespace

int replayLog(RuleSet rules, const std::string& logPath, std::FILE* out, std::FILE* err,
              const std::vector<std::string>& gameAdmins) {
  std::string error;
  int fd = openRegularFile(logPath, &error);
  std::FILE* log = fd < 0 ? nullptr : fdopen(fd, "rb");
  if (log == nullptr) {
    if (fd >= 0) close(fd);
    std::fprintf(err, "gsadmin: --replay: %s\n", error.empty() ? logPath.c_str() : error.c_str());
    return 2;
  }
  RuleEngine engine(std::move(rules));
  engine.setGameAdmins(gameAdmins);
  ReplayLog reader;
  std::string line;
  while (readBoundedLine(log, kMaxReplayLineBytes + 1, &line)) {
    std::optional<RuleEvent> event = reader.read(line);
    if (!event) continue;
    for (const Decision& decision : engine.observe(*event)) {
      std::fprintf(out, "%s%s\n", line.substr(0, 22).c_str(), decision.line().c_str());
    }
  }
  std::fclose(log);
  if (uint64_t skipped = engine.skippedEvents()) {
    std::fprintf(err, "gsadmin: %llu event(s) cut short by the time budget\n",
                 static_cast<unsigned long long>(skipped));
  }
  return 0;
}

void printNextTimes(const ScheduleSet& set, uint64_t count, int64_t now, std::FILE* out) {
  for (const ScheduleEntry& entry : set.entries) {
    int64_t after = now;
    for (uint64_t i = 0; i < count; ++i) {
      std::optional<int64_t> next = entry.cron.next(*entry.zone, after);
      if (!next) {
        std::fprintf(out, "%s: never\n", entry.name.c_str());
        break;
      }
      std::fprintf(out, "%s: %s %s (%s UTC)\n", entry.name.c_str(),
                   civilText(*next + entry.zone->offsetAt(*next)).c_str(),
                   entry.zone->name().c_str(), civilText(*next).c_str());
      after = *next;
    }
  }
}

bool takeRuleFiles(const Options& options, std::optional<RuleSet>* rules,
                   std::optional<ScheduleSet>* schedule, std::FILE* err) {
  std::string error;
  if (options.rulesPath) {
    *rules = loadRuleSet(*options.rulesPath, &error);
    if (!*rules) {
      std::fprintf(err, "gsadmin: --rules: %s\n", error.c_str());
      return false;
    }
    for (const std::string& warning : (*rules)->warnings)
      std::fprintf(err, "gsadmin: --rules: warning: %s\n", warning.c_str());
  }
  if (options.schedulePath) {
    *schedule = loadScheduleSet(*options.schedulePath, &error);
    if (!*schedule) {
      std::fprintf(err, "gsadmin: --schedule: %s\n", error.c_str());
      return false;
    }
    for (const std::string& warning : (*schedule)->warnings)
      std::fprintf(err, "gsadmin: --schedule: warning: %s\n", warning.c_str());
  }
  return true;
}

std::optional<int> runRulesCommands(const Options& options, std::FILE* out, std::FILE* err) {
  if (!options.replayPath && options.nextCount == 0) return std::nullopt;
  if (options.replayPath && !options.rulesPath) {
    std::fprintf(err, "gsadmin: --replay needs --rules\n");
    return 2;
  }
  if (options.nextCount != 0 && !options.schedulePath) {
    std::fprintf(err, "gsadmin: --next needs --schedule\n");
    return 2;
  }
  std::optional<RuleSet> rules;
  std::optional<ScheduleSet> schedule;
  if (!takeRuleFiles(options, &rules, &schedule, err)) return 2;
  if (schedule && options.nextCount != 0) {
    printNextTimes(*schedule, options.nextCount, static_cast<int64_t>(std::time(nullptr)), out);
  }
  if (rules && options.replayPath && options.replayPath->starts_with(kReplayRecordsPrefix))
    return replayFromRecords(std::move(*rules), options, out, err);
  if (rules && options.replayPath) {
    std::optional<std::vector<std::string>> admins = replayedAdmins(*rules, options, err);
    if (!admins) return 2;
    return replayLog(std::move(*rules), *options.replayPath, out, err, *admins);
  }
  return 0;
}

}  // namespace gsadmin
