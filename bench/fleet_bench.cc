#include "fleet_bench.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "moderation/moderation.h"
#include "protocol/wire.h"
#include "session/admin_session.h"
#include "sim/server_messages.h"
#include "support/postgres_server.h"
#include "support/session_harness.h"

namespace gsadmin::bench {
namespace {

using Clock = std::chrono::steady_clock;
using testing::Datagram;
using testing::SessionHarness;

constexpr uint8_t kPlayer = 1;
constexpr int kPropagations = 200;
constexpr int kBans = 1000000;
constexpr int kJoins = 10000;
constexpr int kRounds = 21;
constexpr int kBatch = 10000;
constexpr auto kGiveUp = std::chrono::seconds(5);

double percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(fraction * static_cast<double>(values.size() - 1))];
}

double median(std::vector<double> values) {
  return percentile(std::move(values), 0.5);
}

double microsecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// The session's database: `uri`, or the SQLite file beside the script
// when empty; the records name `server`.
testing::SettingsTweak settings(const std::string& uri, const std::string& server) {
  return [uri, server](SessionSettings& s) {
    if (!uri.empty()) s.databasePath = uri;
    s.moderation.serverName = server;
  };
}

bool kicked(const std::vector<Datagram>& sent) {
  return std::any_of(sent.begin(), sent.end(), [](const Datagram& d) {
    return d.size() == 3 && d[0] == wire::kKickRequestId && d[1] == kPlayer;
  });
}

void joinBoth(SessionHarness& a, SessionHarness& b, const std::string& name) {
  for (SessionHarness* h : {&a, &b}) {
    h->deliver(testing::playerJoined(kPlayer, name));
    h->deliver(testing::playerDetails(kPlayer, "key-" + name));
    h->sent();
    h->output();
  }
}

// One ban on A, timed until B, polling as its loop would, kicks; ms, or
// none when B never did.
std::optional<double> propagateOne(SessionHarness& a, SessionHarness& b, const std::string& name) {
  joinBoth(a, b, name);
  a.session().handleTypedLine(".tempban " + name + " 1h bench");
  Clock::time_point start = Clock::now();
  a.session().poll();  // the pass that writes it and sends the notice
  bool done = false;
  while (!done && Clock::now() - start < kGiveUp) {
    b.session().poll();
    done = kicked(b.sent());
    if (!done) std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  double ms = microsecondsSince(start) / 1000;
  for (SessionHarness* h : {&a, &b}) {
    h->deliver(testing::playerLeft(1, kPlayer));
    h->sent();
    h->output();
  }
  if (!done) return std::nullopt;
  return ms;
}

void measurePropagation(const std::string& uri, int count, FleetResult& result) {
  SessionHarness a(std::nullopt, "Admin", "pw", testing::Transport::kInMemory,
                   settings(uri, "alpha"));
  SessionHarness b(std::nullopt, "Admin", "pw", testing::Transport::kInMemory,
                   settings(uri, "beta"));
  if (a.session().moderation() == nullptr || b.session().moderation() == nullptr) return;
  a.connect();
  b.connect();
  std::vector<double> ms;
  bool complete = true;
  for (int i = 0; i < count; ++i) {
    std::optional<double> taken = propagateOne(a, b, "Target" + std::to_string(i));
    complete = complete && taken.has_value();
    if (taken) ms.push_back(*taken);
  }
  result.propagations = count;
  result.propagationP99Ms = percentile(ms, 0.99);
  result.propagationMaxMs = percentile(ms, 1.0);
  result.propagationComplete = complete && static_cast<int>(ms.size()) == count;
}

// `count` tempbans of a day, 100 000 a statement: a statement that runs
// for seconds would be taken for a lost connection.
bool writeBans(Database& database, int count, int64_t now) {
  constexpr int kRowsAStatement = 100000;
  for (int first = 1; first <= count; first += kRowsAStatement) {
    int last = std::min(count, first + kRowsAStatement - 1);
    StatementResult result = database.run(
        "INSERT INTO gs_sanctions (time, name_key, name, kind, seconds, until, reason, actor,"
        " server) SELECT ?, 'banned' || g, 'Banned' || g, 'tempban', 86400, ?, 'bench', 'Op',"
        " 'alpha' FROM generate_series(?, ?) AS g",
        {DbValue::integer(now), DbValue::integer(now + 86400), DbValue::integer(first),
         DbValue::integer(last)});
    if (result.error) {
      std::fprintf(stderr, "fleet bench: %s\n", result.error->c_str());
      return false;
    }
  }
  return true;
}

void measureBanCheck(const std::string& uri, int bans, int joins, FleetResult& result) {
  SessionHarness h(std::nullopt, "Admin", "pw", testing::Transport::kInMemory,
                   settings(uri, "alpha"));
  Moderation* moderation = h.session().moderation();
  if (moderation == nullptr) return;
  int64_t now = h.clock().wallSeconds();
  if (!writeBans(h.session().database(), bans, now)) return;
  Clock::time_point loadStart = Clock::now();
  bool complete =
      moderation->sanctions().load(now).empty() && moderation->sanctions().awaitLoaded(now).empty();
  result.loadMs = microsecondsSince(loadStart) / 1000;
  h.connect();
  h.sent();
  std::vector<double> joinUs, detailsUs;
  for (int i = 0; i < joins; ++i) {
    bool banned = i % 2 == 0;
    std::string name =
        banned ? "bANNED" + std::to_string(1 + (i * 7919) % bans) : "Player" + std::to_string(i);
    Datagram join = testing::playerJoined(kPlayer, name);
    Datagram details = testing::playerDetails(kPlayer, "key-" + name);
    Clock::time_point start = Clock::now();
    h.deliver(join);
    joinUs.push_back(microsecondsSince(start));
    start = Clock::now();
    h.deliver(details);
    detailsUs.push_back(microsecondsSince(start));
    complete = complete && kicked(h.sent()) == banned;
    h.deliver(testing::playerLeft(0, kPlayer));
    h.sent();
    h.output();
  }
  result.bans = bans;
  result.joinP99Us = percentile(joinUs, 0.99);
  result.joinMaxUs = percentile(joinUs, 1.0);
  result.detailsP99Us = percentile(detailsUs, 0.99);
  result.banCheckComplete = complete;
}

const char kHandlerScript[] =
    "handled = 0\n"
    "function onPosition(id) handled = handled + 1 end\n"
    "addEventHandler('onPlayerPositionChange', 'onPosition')\n";

double drainRate(SessionHarness& h, const std::vector<Datagram>& batch) {
  for (const Datagram& datagram : batch) h.peer().send(datagram);
  Clock::time_point start = Clock::now();
  while (h.session().socket()->waitReadable(0)) h.session().poll();
  return static_cast<double>(batch.size()) / (microsecondsSince(start) / 1e6);
}

void measureLua(const std::string& uri, int rounds, int batchSize, FleetResult& result) {
  std::vector<Datagram> batch;
  for (int i = 0; i < batchSize; ++i) {
    float x = static_cast<float>(i % 1000);
    batch.push_back(testing::positionUpdate(kPlayer, 0, 100.0f, x, -x, 10.0f));
  }
  SessionHarness shared(std::string(kHandlerScript), "Admin", "pw", testing::Transport::kLoopback,
                        settings(uri, "alpha"));
  SessionHarness file(std::string(kHandlerScript), "Admin", "pw", testing::Transport::kLoopback,
                      settings("", "alpha"));
  if (!shared.started() || !file.started() || shared.session().moderation() == nullptr) return;
  for (SessionHarness* h : {&shared, &file}) {
    h->connect(testing::ServerRecord(), {{kPlayer, "Bob", 0, true}});
    h->deliver(testing::playerDetails(kPlayer, "details"));
    h->sent();
  }
  // In turn, so that whatever else the machine does weighs on both.
  std::vector<double> sharedRates, fileRates;
  for (int round = 0; round < rounds; ++round) {
    sharedRates.push_back(drainRate(shared, batch));
    fileRates.push_back(drainRate(file, batch));
  }
  result.luaPostgresPerSecond = median(sharedRates);
  result.luaSqlitePerSecond = median(fileRates);
  result.luaComplete = shared.session().database().dialect() == SqlDialect::kPostgres &&
                       shared.session().database().connected();
}

std::string formatted(const char* format, double a, double b) {
  char text[96];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

}  // namespace

FleetResult measureFleet(int propagations, int bans, int joins, int rounds, int batch) {
  FleetResult result;
  if (!testing::PostgresServer::binaries()) {
    std::fprintf(stderr, "fleet bench: %s\n", testing::PostgresServer::kMissing);
    return result;
  }
  testing::PostgresServer server;
  if (!server.running()) {
    std::fprintf(stderr, "fleet bench: %s\n", server.failure().c_str());
    return result;
  }
  result.ran = true;
  std::string propagation = server.createDatabase("propagation");
  std::string banCheck = server.createDatabase("bancheck");
  std::string lua = server.createDatabase("lua");
  if (propagation.empty() || banCheck.empty() || lua.empty()) return result;
  measurePropagation(propagation, propagations, result);
  measureBanCheck(banCheck, bans, joins, result);
  measureLua(lua, rounds, batch, result);
  return result;
}

void addFleetRows(const FleetResult& r, std::vector<ResultRow>& rows) {
  if (!r.ran) {
    rows.push_back({"(h) fleet on PostgreSQL", "not run: no server binaries", "", false});
    return;
  }
  rows.push_back({"(h) ban propagation to a second client, p99 / max",
                  formatted("%.1f ms / %.1f ms", r.propagationP99Ms, r.propagationMaxMs),
                  "p99 < 2000 ms", r.propagationComplete && r.propagationP99Ms < 2000});
  rows.push_back(
      {"(h) ban check at join, " + std::to_string(r.bans) + " bans, PostgreSQL: p99 / max",
       formatted("%.0f us / %.0f us", r.joinP99Us, r.joinMaxUs), "p99 < 2000 us",
       r.banCheckComplete && r.joinP99Us < 2000});
  rows.push_back({"(h) same, the details reply after it (aliases read), p99 / reading the bans",
                  formatted("%.0f us / %.0f ms", r.detailsP99Us, r.loadMs), "", std::nullopt});
  double ratio = r.luaSqlitePerSecond > 0 ? r.luaPostgresPerSecond / r.luaSqlitePerSecond : 0;
  char text[128];
  std::snprintf(text, sizeof text, "%.0f/s / %.0f/s (%.2f)", r.luaPostgresPerSecond,
                r.luaSqlitePerSecond, ratio);
  rows.push_back({"(h) position updates, Lua handler, PostgreSQL / SQLite", text, ">= 0.95",
                  r.luaComplete && ratio >= 0.95});
}

std::vector<ResultRow> fleetRows() {
  std::vector<ResultRow> rows;
  addFleetRows(measureFleet(kPropagations, kBans, kJoins, kRounds, kBatch), rows);
  return rows;
}

const char kFleetNotes[] =
    "- (h) Clients sharing one PostgreSQL database the bench starts itself (the\n"
    "  tests' server: a cluster in a temporary directory, a Unix socket, fsync off).\n"
    "  Propagation: two in-process sessions on it, the same player on both; the\n"
    "  first types .tempban and runs one pass of its loop (the write and its\n"
    "  notice), then the second's loop is polled until it kicks the player; 200\n"
    "  bans. Ban check: 1 000 000 tempbans inserted in one statement and read into\n"
    "  memory, then 10 000 joins, every other one banned, each player-joined\n"
    "  datagram timed through the session, and the details reply after it, whose\n"
    "  alias check reads the database. Lua handler: as in (a), the handler always\n"
    "  on, one session with its moderation on PostgreSQL and one on a SQLite file,\n"
    "  rounds in turn.\n";

}  // namespace gsadmin::bench
