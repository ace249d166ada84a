#include "outage_rig.h"

#include <httplib.h>

#include <algorithm>

#include "moderation/record_store.h"
#include "panel/stream_limits.h"
#include "storage/database.h"

namespace gsadmin::bench {
namespace {

constexpr int kBetaPlayers = 4;
constexpr int kBetaUpdatesPerSecond = 200;
constexpr int kBetaChatPerSecond = 5;

// The webhook relay: every public chat line is posted to HOOK, at most 16
// in flight as the client allows; an admin line switches the target.
std::string hookScript(const std::string& answering, const std::string& silent) {
  return "OK = '" + answering + "'\nSILENT = '" + silent +
         "'\n"
         "HOOK = OK\n"
         "inflight = 0\n"
         "function posted(id, status, body) inflight = inflight - 1 end\n"
         "function onChat(id, text)\n"
         "  if inflight >= 16 then return end\n"
         "  if httpRequest('POST', HOOK, text, nil, 'posted') then inflight = inflight + 1 end\n"
         "end\n"
         "addEventHandler('onPlayerChat', 'onChat')\n"
         "function onAdmin(text)\n"
         "  if text == '!hook silent' then HOOK = SILENT elseif text == '!hook ok' then HOOK = OK "
         "end\n"
         "end\n"
         "addEventHandler('onAdminChat', 'onAdmin')\n";
}

}  // namespace

std::string prepareBans(const std::string& uri, int bans) {
  std::unique_ptr<Database> database = makeDatabase(uri);
  if (!database->awaitConnection(5000)) return "no connection to " + uri;
  RecordStore store(*database);
  std::string error = store.open();
  if (!error.empty()) return error;
  int64_t now = static_cast<int64_t>(time(nullptr));
  // 100 000 a statement: one that ran for long would be taken for a lost
  // connection.
  constexpr int kRowsAStatement = 100000;
  for (int first = 0; first < bans; first += kRowsAStatement) {
    int last = std::min(bans, first + kRowsAStatement) - 1;
    StatementResult result = database->run(
        "INSERT INTO gs_sanctions (time, name_key, name, kind, seconds, until, reason, actor,"
        " server) SELECT ?, 'ban' || g, 'Ban' || g, 'tempban', 86400, ?, 'bench', 'Op',"
        " 'alpha' FROM generate_series(?, ?) AS g",
        {DbValue::integer(now), DbValue::integer(now + 86400), DbValue::integer(first),
         DbValue::integer(last)});
    if (result.error) return *result.error;
  }
  return "";
}

std::vector<std::string> probeBans(int bans) {
  std::vector<std::string> names;
  for (int i = 7; i < bans; i += bans / 8) names.push_back("ban" + std::to_string(i));
  return names;
}

OutageRig::OutageRig(testing::PostgresServer& server, const std::string& database,
                     const std::string& program)
    : server_(server) {
  uri_ = server_.createDatabase(database);
  if (uri_.empty()) {
    failure_ = "no database: " + server_.failure();
    return;
  }
  std::string prepared = prepareBans(uri_, kBans);
  if (!prepared.empty()) {
    failure_ = "cannot prepare the database: " + prepared;
    return;
  }
  target_.server().Post("/hook", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("ok", "text/plain");
  });
  if (!target_.start()) {
    failure_ = "the webhook target did not start";
    return;
  }
  if (!startBeta(uri_, program) || !startAlpha(uri_, program)) return;
  std::vector<testing::WebUser> logins = panel_.streamLogins(kStreams);
  for (int i = 0; i < kStreams && !logins.empty(); ++i) {
    if (!streams_.open(panel_.port, logins[static_cast<size_t>(i) / kMaxStreamsPerSession])) {
      logins.clear();
    }
  }
  if (logins.empty()) {
    failure_ = "the event streams did not open";
    return;
  }
  probe_ = std::make_unique<PanelProbe>(panel_.port, *panel_.user,
                                        std::vector<std::string>{"/api/rules", "/api/audit"});
  counter_ = std::thread([this]() { countChat(); });
}

OutageRig::~OutageRig() {
  if (probe_) probe_->stop();
  ending_ = true;
  if (counter_.joinable()) counter_.join();
}

void OutageRig::countChat() {
  std::unique_ptr<Database> database;
  while (!ending_) {
    if (!database || !database->connected()) {
      database = makeDatabase(uri_);
      database->awaitConnection(1000);
    }
    StatementResult found =
        database->run("SELECT server, count(*) FROM gs_chat GROUP BY server", {});
    if (!found.error) {
      for (size_t row = 0; row < found.rowCount(); ++row) {
        int64_t count = found.values[row * 2 + 1].integerValue;
        (found.values[row * 2].bytes == "alpha" ? alphaRows_ : betaRows_) = count;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kCountEveryMs));
  }
}

std::optional<PlayClock::time_point> OutageRig::playUntilWritten(PlayClock::time_point giveUp) {
  auto alpha = static_cast<int64_t>(game_->chatsSent());
  auto beta = static_cast<int64_t>(betaChats_);
  while (PlayClock::now() < giveUp) {
    if (alphaRows_ >= alpha && betaRows_ >= beta) return PlayClock::now();
    play(PlayClock::now() + std::chrono::milliseconds(kCountEveryMs));
  }
  return std::nullopt;
}

bool OutageRig::startAlpha(const std::string& uri, const std::string& program) {
  dir_.write("alpha.lua", hookScript(target_.url("/hook"), silent_.url("/hook")));
  std::vector<std::string> options = {"--http=127.0.0.1:0",
                                      "--http-users=" + testing::writeUsers(dir_),
                                      "--db=" + uri,
                                      "--journal=" + dir_.path() + "/alpha-journal.db",
                                      "--server-name=alpha",
                                      "--allow-url=" + target_.url("/hook"),
                                      "--allow-url=" + silent_.url("/hook"),
                                      "--script=alpha.lua"};
  panel_.client = std::make_unique<LiveClient>(std::nullopt, true, options, dir_.path(), program);
  panel_.port = testing::portOf(panel_.client->process(), "Panel");
  game_ = std::make_unique<GamePlay>(*panel_.client, PlayLoad{}, probeBans(kBans), "a");
  if (panel_.port == 0 || !game_->connect()) {
    failure_ = "alpha did not start: " + panel_.client->process().errorOutput();
    return false;
  }
  httplib::Client http("127.0.0.1", panel_.port);
  panel_.user = testing::logIn(http, "alice", "secret");
  if (!panel_.user) failure_ = "no login to alpha's panel";
  return panel_.user.has_value();
}

bool OutageRig::startBeta(const std::string& uri, const std::string& program) {
  beta_ = std::make_unique<LiveClient>(
      std::nullopt, false,
      std::vector<std::string>{"--db=" + uri, "--journal=" + dir_.path() + "/beta-journal.db",
                               "--server-name=beta"},
      dir_.path(), program);
  std::vector<ListedPlayer> players;
  for (int id = 0; id < kBetaPlayers; ++id) {
    players.push_back({static_cast<uint8_t>(id), "bPl" + std::to_string(id), 0, true});
  }
  if (!beta_->connect(players)) {
    failure_ = "beta did not start";
    return false;
  }
  betaStart_ = PlayClock::now();
  return true;
}

void OutageRig::play(PlayClock::time_point until) {
  game_->playUntil(until, [this]() { between(true); });
}

void OutageRig::idle(PlayClock::time_point until) {
  while (PlayClock::now() < until) {
    panel_.client->drain();
    between(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void OutageRig::between(bool playing) {
  while (panel_.client->process().nextLine(0)) {
  }
  streams_.drain();
  beta_->drain();
  {
    std::lock_guard<std::mutex> lock(adminLineMutex_);
    if (adminLine_) panel_.client->peer().send(testing::chatLine(0, 3, *adminLine_));
    adminLine_.reset();
  }
  if (!playing) return;
  double seconds = std::chrono::duration<double>(PlayClock::now() - betaStart_).count();
  for (auto due = static_cast<uint64_t>(seconds * kBetaUpdatesPerSecond); betaUpdates_ < due;
       ++betaUpdates_) {
    auto id = static_cast<uint8_t>(betaUpdates_ % kBetaPlayers);
    beta_->peer().send(testing::positionUpdate(id, 0, 100.0f, 1.0f, 2.0f, 3.0f));
  }
  for (auto due = static_cast<uint64_t>(seconds * kBetaChatPerSecond); betaChats_ < due;
       ++betaChats_) {
    auto id = static_cast<uint8_t>(betaChats_ % kBetaPlayers);
    beta_->peer().send(testing::chatLine(id, 0, "b line " + std::to_string(betaChats_)));
  }
}

bool OutageRig::endProbes() {
  probe_->stop();
  return game_->settle(10000);
}

void OutageRig::setHookSilent(bool silent) {
  std::lock_guard<std::mutex> lock(adminLineMutex_);
  adminLine_ = silent ? "!hook silent" : "!hook ok";
}

int64_t OutageRig::countRows(const char* table, const char* server, const char* column,
                             bool distinct) {
  std::unique_ptr<Database> database = makeDatabase(uri_);
  if (!database->awaitConnection(5000)) return -1;
  // Names from the bench's own literals, never from elsewhere.
  std::string sql = std::string("SELECT count(") + (distinct ? "DISTINCT " : "") + column +
                    ") FROM " + table + " WHERE server = ?";
  StatementResult found = database->run(sql, {DbValue::text(server)});
  return !found.error && found.rowCount() == 1 ? found.values[0].integerValue : -1;
}

}  // namespace gsadmin::bench
