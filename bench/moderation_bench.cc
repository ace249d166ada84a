#include "moderation_bench.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "moderation/player_history.h"
#include "moderation/record_store.h"
#include "sim/server_messages.h"
#include "storage/sqlite_database.h"
#include "support/client_process.h"
#include "support/session_harness.h"

namespace gsadmin::bench {
namespace {

using Clock = std::chrono::steady_clock;
using testing::Datagram;

constexpr int64_t kNow = 1796731200;
constexpr int kChatters = 50;
constexpr size_t kHistoryLines = 20;
constexpr uint8_t kPlayer = 1;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

int64_t countRows(RecordStore& store, const char* sql) {
  StatementResult result = store.query(sql, {});
  return result.rowCount() == 1 ? result.values[0].integerValue : -1;
}

std::string playerName(int64_t index) {
  return "Player" + std::to_string(index);
}

// A database of its own in a temporary directory, its tables made.
struct ModerationDatabase {
  testing::TempDir dir;
  SqliteDatabase database{dir.path() + "/script.db"};
  RecordStore store{database};
  bool ready = store.open().empty();
};

// Fills the tables with direct inserts in one transaction: player i has
// details "key-(i/3)", so every player has two aliases; one chat line in
// ten is player 0's, the others spread over everyone.
bool fillTables(Database& database, int64_t players, int64_t chatRows) {
  bool ok = !database.run("BEGIN", {}).error;
  for (int64_t i = 0; ok && i < players; ++i) {
    std::string name = playerName(i);
    ok = !database
              .run(
                  "INSERT INTO gs_players (name_key, name, details, first_seen, last_seen,"
                  " visits, seconds_played) VALUES (?, ?, ?, ?, ?, 3, 3600)",
                  {DbValue::text(nameKey(name)), DbValue::text(name),
                   DbValue::text("key-" + std::to_string(i / 3)), DbValue::integer(kNow - i),
                   DbValue::integer(kNow)})
              .error;
  }
  for (int64_t row = 0; ok && row < chatRows; ++row) {
    std::string name = playerName(row % 10 == 0 ? 0 : (row * 7919) % players);
    ok = !database
              .run("INSERT INTO gs_chat (time, name_key, name, text) VALUES (?, ?, ?, ?)",
                   {DbValue::integer(kNow - chatRows + row), DbValue::text(nameKey(name)),
                    DbValue::text(name), DbValue::text("a line of chat like any other")})
              .error;
  }
  return !database.run("COMMIT", {}).error && ok;
}

// Queues the batch for the session, then polls until its queue is empty.
double drainRate(testing::SessionHarness& harness, const std::vector<Datagram>& batch) {
  for (const Datagram& datagram : batch) harness.peer().send(datagram);
  Clock::time_point start = Clock::now();
  while (harness.session().socket()->waitReadable(0)) harness.session().poll();
  return static_cast<double>(batch.size()) / secondsSince(start);
}

void connectWithOnePlayer(testing::SessionHarness& harness) {
  harness.connect(testing::ServerRecord(), {{kPlayer, "Bob", 0, true}});
  harness.deliver(testing::playerDetails(kPlayer, "details"));
  harness.sent();
}

}  // namespace

ChatRecording measureChatRecording(int rounds, int linesPerRound, int flushEvery) {
  ChatRecording result;
  ModerationDatabase db;
  if (!db.ready) return result;
  PlayerHistory history(db.store);
  bool flushed = true;
  std::vector<double> rates;
  for (int round = 0; round < rounds; ++round) {
    Clock::time_point start = Clock::now();
    for (int line = 0; line < linesPerRound; ++line) {
      history.chatRecorded(playerName(line % kChatters), std::nullopt,
                           "a line of chat, number " + std::to_string(line), kNow + round);
      if ((line + 1) % flushEvery == 0) flushed = !db.store.flush() && flushed;
    }
    flushed = !db.store.flush() && flushed;
    rates.push_back(linesPerRound / secondsSince(start));
  }
  result.lines = static_cast<uint64_t>(rounds) * static_cast<uint64_t>(linesPerRound);
  result.linesPerSecond = median(rates);
  result.complete = flushed && countRows(db.store, "SELECT count(*) FROM gs_chat") ==
                                   static_cast<int64_t>(result.lines);
  return result;
}

HistoryReads measureHistoryReads(int64_t players, int64_t chatRows, size_t lookups) {
  HistoryReads result;
  ModerationDatabase db;
  if (!db.ready || players < 3) return result;
  Clock::time_point built = Clock::now();
  if (!fillTables(db.database, players, chatRows)) return result;
  result.buildSeconds = secondsSince(built);

  PlayerHistory history(db.store);
  std::mt19937 random(20);
  std::vector<double> times;
  bool complete = true;
  for (size_t lookup = 0; lookup < lookups; ++lookup) {
    // Player 0, the busiest, first; then anyone of a whole group of three.
    int64_t index = lookup == 0 ? 0 : static_cast<int64_t>(random() % (players - players % 3));
    std::string name = playerName(index);
    Clock::time_point start = Clock::now();
    std::optional<PlayerRecord> player = history.find(name);
    std::vector<ChatRecord> chat = history.lastChat(name, kHistoryLines);
    times.push_back(secondsSince(start) * 1000);
    complete = complete && player && player->aliases.size() == 2 &&
               (chat.size() == kHistoryLines || lookup != 0);
  }
  std::sort(times.begin(), times.end());
  result.medianMs = times[times.size() / 2];
  result.p99Ms = times[times.size() * 99 / 100];
  result.maxMs = times.back();
  result.complete = complete;
  return result;
}

ModerationOverhead measureModerationOverhead(int rounds, int batchSize) {
  ModerationOverhead result;
  std::vector<Datagram> batch;
  for (int i = 0; i < batchSize; ++i) {
    float x = static_cast<float>(i % 1000);
    batch.push_back(testing::positionUpdate(kPlayer, 0, 100.0f, x, -x, 10.0f));
  }
  testing::SessionHarness with(std::nullopt, "Admin", "pw", testing::Transport::kLoopback);
  testing::SessionHarness without(
      std::nullopt, "Admin", "pw", testing::Transport::kLoopback,
      [](SessionSettings& settings) { settings.moderation.enabled = false; });
  if (!with.started() || !without.started() || with.session().moderation() == nullptr) {
    return result;
  }
  connectWithOnePlayer(with);
  connectWithOnePlayer(without);
  // In turn, so that whatever else the machine does weighs on both.
  std::vector<double> withRates, withoutRates;
  for (int round = 0; round < rounds; ++round) {
    withRates.push_back(drainRate(with, batch));
    withoutRates.push_back(drainRate(without, batch));
  }
  result.withPerSecond = median(withRates);
  result.withoutPerSecond = median(withoutRates);
  result.complete = without.session().moderation() == nullptr;
  return result;
}

}  // namespace gsadmin::bench
