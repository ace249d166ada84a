#include "ban_check_bench.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "moderation/moderation.h"
#include "moderation/name_skeleton.h"
#include "protocol/wire.h"
#include "sim/server_messages.h"
#include "support/session_harness.h"

namespace gsadmin::bench {
namespace {

using Clock = std::chrono::steady_clock;

double percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  size_t at = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1));
  return values[at];
}

double microsecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

std::string bannedName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "Banned%06d", i);
  return name;
}

// Writes `count` bans of a day, as the client records them, in one
// transaction. False on a database error.
bool writeBans(Database& database, int count, int64_t now) {
  if (database.run("BEGIN", {}).error) return false;
  NameSkeletons skeletons;
  for (int i = 0; i < count; ++i) {
    std::string name = bannedName(i);
    StatementResult result = database.run(
        "INSERT INTO gs_sanctions (time, name_key, name, kind, seconds, until, reason, actor,"
        " skeleton) VALUES (?, ?, ?, 'tempban', 86400, ?, 'bench', 'Op', ?)",
        {DbValue::integer(now), DbValue::text(nameKey(name)), DbValue::text(name),
         DbValue::integer(now + 86400), DbValue::text(skeletons.of(nameKey(name)))});
    if (result.error) return false;
  }
  return !database.run("COMMIT", {}).error;
}

// Whether a datagram of `sent` tells the player "(#ID)", the number the ban
// numbered `id` has.
bool toldNumber(const std::vector<testing::Datagram>& sent, int64_t id) {
  std::string mark = "banned (#" + std::to_string(id) + ")";
  return std::any_of(sent.begin(), sent.end(), [&](const auto& d) {
    return std::string(d.begin(), d.end()).find(mark) != std::string::npos;
  });
}

size_t kicksIn(const std::vector<testing::Datagram>& sent) {
  return static_cast<size_t>(std::count_if(sent.begin(), sent.end(), [](const auto& d) {
    return !d.empty() && d[0] == wire::kKickRequestId;
  }));
}

}  // namespace

BanCheckResult measureBanCheck(int bans, int joins) {
  BanCheckResult result;
  testing::SessionHarness harness;
  Moderation* moderation = harness.session().moderation();
  if (moderation == nullptr) return result;
  int64_t now = harness.clock().wallSeconds();
  if (!writeBans(harness.session().database(), bans, now)) return result;
  Clock::time_point loadStart = Clock::now();
  // The whole reading, off the loop as at a start.
  bool loaded =
      moderation->sanctions().load(now).empty() && moderation->sanctions().awaitLoaded(now).empty();
  result.loadMs = microsecondsSince(loadStart) / 1000;
  harness.connect();
  harness.sent();

  std::vector<double> joinUs;
  bool complete = loaded;
  for (int i = 0; i < joins; ++i) {
    bool banned = i % 2 == 0;
    int ban = (i * 7919) % bans;
    std::string name = banned ? bannedName(ban) : "Player" + std::to_string(i);
    // Another letter case: the check ignores it.
    if (banned) name[0] = 'b';
    testing::Datagram join = testing::playerJoined(1, name);
    Clock::time_point start = Clock::now();
    harness.deliver(join);
    joinUs.push_back(microsecondsSince(start));
    std::vector<testing::Datagram> sent = harness.sent();
    complete = complete && kicksIn(sent) == (banned ? 1u : 0u);
    // The rows were written in order into an empty table: ban i is #i+1.
    if (banned) {
      ++result.bannedJoins;
      if (toldNumber(sent, ban + 1)) ++result.toldNumber;
    }
    harness.deliver(testing::playerLeft(0, 1));
    harness.output();
  }
  std::vector<double> lookupUs;
  for (int i = 0; i < joins; ++i) {
    std::string name = bannedName((i * 104729) % bans);
    Clock::time_point start = Clock::now();
    bool found = moderation->sanctions().activeBan(name, now).has_value();
    lookupUs.push_back(microsecondsSince(start));
    complete = complete && found;
  }
  result.joinP99Us = percentile(joinUs, 0.99);
  result.joinMaxUs = percentile(joinUs, 1.0);
  result.lookupP99Us = percentile(lookupUs, 0.99);
  result.complete = complete;
  return result;
}

void addBanCheckRows(const BanCheckResult& result, int bans, std::vector<ResultRow>& rows) {
  char text[96];
  std::snprintf(text, sizeof text, "%.0f us / %.0f us", result.joinP99Us, result.joinMaxUs);
  rows.push_back({"(f) ban check at join, " + std::to_string(bans) + " numbered bans: p99 / max",
                  text, "p99 < 1000 us", result.complete && result.joinP99Us < 1000});
  std::snprintf(text, sizeof text, "%d of %d", result.toldNumber, result.bannedJoins);
  rows.push_back({"(f) same, banned joins told their ban's number", text, "all",
                  result.bannedJoins > 0 && result.toldNumber == result.bannedJoins});
  std::snprintf(text, sizeof text, "%.2f us", result.lookupP99Us);
  rows.push_back({"(f) same, the in-memory lookup alone, p99", text, "", std::nullopt});
  std::snprintf(text, sizeof text, "%.0f ms", result.loadMs);
  rows.push_back(
      {"(f) reading " + std::to_string(bans) + " active bans at start", text, "", std::nullopt});
}

}  // namespace gsadmin::bench
