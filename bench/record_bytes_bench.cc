#include "record_bytes_bench.h"

#include <sys/stat.h>

#include <cstdio>
#include <functional>
#include <memory>

#include "moderation/player_history.h"
#include "moderation/record_store.h"
#include "storage/sqlite_database.h"
#include "support/client_process.h"
#include "support/postgres_server.h"

namespace gsadmin::bench {
namespace {

constexpr int kEvents = 100000;
constexpr int kFlushEvery = 1000;
constexpr int kChatPlayers = 50;
constexpr int kVisitPlayers = 10000;
constexpr int64_t kVisitSeconds = 600;

using Size = std::function<double()>;

std::string chatText(int i) {
  return "a line of chat, number " + std::to_string(i);
}

// Records `events` chat lines, then `events` visits, each measured by
// `size`; false when the store could not be opened.
bool recordBoth(Database& database, int events, const Size& chatSize, const Size& visitSize,
                RecordBytes& result) {
  RecordStore store(database);
  if (!store.open().empty()) return false;
  PlayerHistory history(store);
  int64_t now = static_cast<int64_t>(time(nullptr));
  double before = chatSize();
  double textBytes = 0;
  for (int i = 0; i < events; ++i) {
    std::string text = chatText(i);
    textBytes += static_cast<double>(text.size());
    history.chatRecorded("Player" + std::to_string(i % kChatPlayers), std::nullopt, text, now);
    if ((i + 1) % kFlushEvery == 0) store.flush();
  }
  store.flush();
  double perMillion = 1e6 / events;
  result.chatBytes = (chatSize() - before) * perMillion;
  result.textBytes = textBytes / events;
  before = visitSize();
  for (int i = 0; i < events; ++i) {
    std::string name = "Visitor" + std::to_string(i % kVisitPlayers);
    int64_t joined = now + i;
    history.visitStarted(name, "key-" + name, joined);
    history.visitEnded(name, joined, joined + kVisitSeconds);
    if ((i + 1) % kFlushEvery == 0) store.flush();
  }
  store.flush();
  result.visitBytes = (visitSize() - before) * perMillion;
  result.ran = store.queued() == 0;
  return true;
}

double fileBytes(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? static_cast<double>(info.st_size) : 0;
}

}  // namespace

RecordBytes measureSqliteRecordBytes(int events) {
  RecordBytes result;
  testing::TempDir dir;
  std::string path = dir.path() + "/records.db";
  SqliteDatabase database(path);
  // What is on the disk once the WAL is copied back into the file.
  Size size = [&database, &path]() {
    database.run("PRAGMA wal_checkpoint(TRUNCATE)", {});
    return fileBytes(path) + fileBytes(path + "-wal");
  };
  if (!recordBoth(database, events, size, size, result)) result.ran = false;
  return result;
}

RecordBytes measurePostgresRecordBytes(int events) {
  RecordBytes result;
  if (!testing::PostgresServer::binaries()) return result;
  testing::PostgresServer server;
  std::string uri = server.running() ? server.createDatabase("bytes") : "";
  if (uri.empty()) return result;
  std::unique_ptr<Database> database = makeDatabase(uri);
  if (!database->awaitConnection(5000)) return result;
  auto relations = [&database](const char* sql) {
    StatementResult found = database->run(sql, {});
    return !found.error && found.rowCount() == 1 ? static_cast<double>(found.values[0].integerValue)
                                                 : 0;
  };
  Size chat = [&relations]() { return relations("SELECT pg_total_relation_size('gs_chat')"); };
  Size visits = [&relations]() {
    return relations(
        "SELECT pg_total_relation_size('gs_sessions') + pg_total_relation_size('gs_players')");
  };
  if (!recordBoth(*database, events, chat, visits, result)) result.ran = false;
  return result;
}

std::vector<ResultRow> recordBytesRows() {
  std::printf("(o) bytes of the records\n");
  std::fflush(stdout);
  std::vector<ResultRow> rows;
  auto add = [&rows](const char* backend, const RecordBytes& r) {
    std::string prefix = std::string("(o) ") + backend + ", from 100 000 of each: ";
    if (!r.ran) {
      rows.push_back({prefix + "not run", "", "", false});
      return;
    }
    char text[96];
    std::snprintf(text, sizeof text, "%.0f MB (%.0f B a line of %.0f B of text)", r.chatBytes / 1e6,
                  r.chatBytes / 1e6, r.textBytes);
    rows.push_back({prefix + "bytes per million chat lines", text, "", std::nullopt});
    std::snprintf(text, sizeof text, "%.0f MB (%.0f B a visit)", r.visitBytes / 1e6,
                  r.visitBytes / 1e6);
    rows.push_back({prefix + "bytes per million visits", text, "", std::nullopt});
  };
  add("SQLite", measureSqliteRecordBytes(kEvents));
  add("PostgreSQL", measurePostgresRecordBytes(kEvents));
  return rows;
}

const char kRecordBytesNotes[] =
    "- (o) Bytes of the records: 100 000 chat lines (50 players, texts \"a line of\n"
    "  chat, number N\"), then 100 000 visits, each started and ended, of 10 000\n"
    "  players in turn (so one visit in ten is a player's first), recorded through\n"
    "  the player history as the client records them, a flush each 1000, on a\n"
    "  fresh database; the growth times ten. SQLite: the file and its WAL after a\n"
    "  checkpoint. PostgreSQL (the server of (h)): pg_total_relation_size of\n"
    "  gs_chat, then of gs_sessions and gs_players, indexes and TOAST included,\n"
    "  without a VACUUM (the ended visits' old row versions are in it).\n";

}  // namespace gsadmin::bench
