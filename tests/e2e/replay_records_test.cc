// --replay=db:FROM..TO through the real binary: the chat and kills of a
// SQLite database's records, for the days asked (UTC, both included), go
// through the rules in time order, and a bad range or a missing --db is
// refused.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "moderation/schema.h"
#include "storage/database.h"
#include "support/client_process.h"
#include "support/postgres_server.h"

namespace gsadmin::testing {
namespace {

// 2026-12-08 00:00:00 UTC.
constexpr int64_t kDay = 1796688000;

const char kRules[] = R"([[rule]]
name = "flood"
kind = "flood"
lines = 3
seconds = 10
acts = ["warn", "kick"]

[[rule]]
name = "streak"
kind = "streak"
kills = 2
seconds = 60
acts = ["admins"]
)";

// Spam floods on the 7th (outside the range), twice on the 8th and once
// on the 9th at its last seconds; Ann's kills fall between his lines, and
// a second's chat goes before its kills.
void writeRecords(const std::string& location) {
  std::unique_ptr<Database> database = makeDatabase(location);
  ASSERT_TRUE(database->awaitConnection(5000)) << location;
  for (const std::string& statement : moderationSchema(database->dialect())) {
    ASSERT_FALSE(database->run(statement, {}).error) << statement;
  }
  auto chat = [&database](int64_t time, const char* text) {
    StatementResult done = database->run(
        "INSERT INTO gs_chat (time, name_key, name, recipient, text) VALUES (?, 'spam', 'Spam', "
        "NULL, ?)",
        {DbValue::integer(time), DbValue::text(text)});
    ASSERT_FALSE(done.error) << *done.error;
  };
  auto kill = [&database](int64_t time, const char* victim) {
    StatementResult done =
        database->run("INSERT INTO gs_kills (time, killer, victim) VALUES (?, 'Ann', ?)",
                      {DbValue::integer(time), DbValue::text(victim)});
    ASSERT_FALSE(done.error) << *done.error;
  };
  // Written out of time order: the replay orders them.
  chat(kDay + 2 * 86400 - 1, "late3");
  chat(kDay + 2 * 86400 - 2, "late2");
  chat(kDay + 2 * 86400 - 3, "late1");
  for (const char* text : {"a", "b", "c"}) chat(kDay - 100, text);
  chat(kDay + 10, "one");
  kill(kDay + 11, "Bo");
  chat(kDay + 11, "two");
  kill(kDay + 12, "Cy");
  chat(kDay + 12, "three");
  chat(kDay + 100, "four");
  chat(kDay + 101, "five");
  chat(kDay + 102, "six");
}

struct Replayed {
  int status;
  std::string out;
  std::string err;
};

Replayed replay(const std::vector<std::string>& options) {
  ClientProcess client(options, std::nullopt);
  Replayed run;
  run.status = client.waitExit();
  client.readToEnd();
  run.out = client.output();
  run.err = client.errorOutput();
  return run;
}

// The replays of the records at `database`, whichever backend holds them.
void expectReplays(const TempDir& dir, const std::string& database) {
  ASSERT_NO_FATAL_FAILURE(writeRecords(database));
  std::string rules = "--rules=" + dir.path() + "/rules.toml";
  Replayed run = replay({rules, "--db=" + database, "--replay=db:2026-12-08..2026-12-09"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "[2026-12-08 00:00:12] RULE flood: warn Spam (3 lines in 10s: \"three\")\n"
            "[2026-12-08 00:00:12] RULE streak: admins Ann (2 kills in 1m)\n"
            "[2026-12-08 00:01:42] RULE flood: kick Spam (3 lines in 10s: \"six\")\n"
            // Past the ladder's 10 minutes: a warning again.
            "[2026-12-09 23:59:59] RULE flood: warn Spam (3 lines in 10s: \"late3\")\n");
  // One day alone: the 8th's.
  Replayed one = replay({rules, "--db=" + database, "--replay=db:2026-12-08..2026-12-08"});
  EXPECT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(one.out.find("late"), std::string::npos) << one.out;
  EXPECT_NE(one.out.find("\"six\""), std::string::npos) << one.out;
}

TEST(ReplayRecordsTest, TheRecordsOfTheDaysGoThroughTheRulesInTimeOrder) {
  TempDir dir;
  dir.write("rules.toml", kRules);
  expectReplays(dir, dir.path() + "/records.db");
}

TEST(ReplayRecordsTest, TheRecordsOfASharedDatabaseReplayAlike) {
  if (!PostgresServer::binaries()) GTEST_SKIP() << PostgresServer::kMissing;
  PostgresServer server;
  ASSERT_TRUE(server.running()) << server.failure();
  std::string uri = server.createDatabase("replay");
  ASSERT_FALSE(uri.empty()) << server.failure();
  TempDir dir;
  dir.write("rules.toml", kRules);
  expectReplays(dir, uri);
}

TEST(ReplayRecordsTest, ABadRangeOrNoDatabaseIsRefused) {
  TempDir dir;
  dir.write("rules.toml", kRules);
  std::string rules = "--rules=" + dir.path() + "/rules.toml";
  std::string database = "--db=" + dir.path() + "/none.db";
  for (const char* range : {"2026-12-09..2026-12-08", "2026-02-30..2026-03-01", "2026-12-08",
                            "2026-12-08..", "2024-01-01..2026-01-01", "20261208..20261209"}) {
    Replayed run = replay({rules, database, std::string("--replay=db:") + range});
    EXPECT_EQ(run.status, 2) << range;
    EXPECT_NE(run.err.find("db:FROM..TO takes two days"), std::string::npos) << run.err;
  }
  Replayed noDb = replay({rules, "--replay=db:2026-12-08..2026-12-08"});
  EXPECT_EQ(noDb.status, 2);
  EXPECT_EQ(noDb.err, "gsadmin: --replay=db: needs --db\n");
  // A database that is not there is not made: the replay only reads.
  Replayed missing = replay({rules, database, "--replay=db:2026-12-08..2026-12-08"});
  EXPECT_EQ(missing.status, 2) << missing.out;
  EXPECT_FALSE(std::ifstream(dir.path() + "/none.db").good());
}

}  // namespace
}  // namespace gsadmin::testing
