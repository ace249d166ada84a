// The moderation's store on a real PostgreSQL server the suite starts
// itself: the tables made once by two clients, a notice that goes out with
// its write, and a write whose COMMIT was never answered written exactly
// once, and a flush or a commit the server leaves unanswered holds
// nothing up.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>

#include "moderation/record_store.h"
#include "moderation/schema.h"
#include "support/client_process.h"
#include "support/postgres_server.h"

namespace gsadmin {
namespace {

using testing::PostgresServer;
using testing::SuiteServer;

// A real connection whose answer to one COMMIT can be lost: the COMMIT is
// carried out (or the transaction rolled back) and the caller is told the
// database could not be reached, as when the connection drops meanwhile.
class AnswerLosingDatabase : public Database {
 public:
  explicit AnswerLosingDatabase(std::unique_ptr<Database> real) : real_(std::move(real)) {}

  enum class Loss { kNone, kAfterCommit, kBeforeCommit };
  Loss loss = Loss::kNone;

  StatementResult run(std::string_view sql, const std::vector<DbValue>& bindings) override {
    if (sql != "COMMIT" || loss == Loss::kNone) return real_->run(sql, bindings);
    real_->run(loss == Loss::kAfterCommit ? "COMMIT" : "ROLLBACK", {});
    loss = Loss::kNone;
    StatementResult lost;
    lost.error = "server closed the connection unexpectedly";
    lost.unavailable = true;
    return lost;
  }
  bool rollBackOpenTransaction() override { return real_->rollBackOpenTransaction(); }
  bool inTransaction() const override { return real_->inTransaction(); }
  bool isOpen() const override { return real_->isOpen(); }
  void setInterruptCheck(InterruptCheck check) override {
    real_->setInterruptCheck(std::move(check));
  }
  SqlDialect dialect() const override { return real_->dialect(); }
  const std::string& description() const override { return real_->description(); }

 private:
  std::unique_ptr<Database> real_;
};

constexpr char kInsertChat[] =
    "INSERT INTO gs_chat (time, name_key, name, text) VALUES (?, 'bob', 'Bob', 'x')";

class RecordStorePostgresTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { postgres_.start(); }
  static void TearDownTestSuite() { postgres_.end(); }

  void SetUp() override {
    if (!postgres_.available()) GTEST_SKIP() << PostgresServer::kMissing;
    uri_ = postgres_.newDatabase("store");
    ASSERT_FALSE(uri_.empty()) << postgres_.failure();
  }

  std::unique_ptr<Database> connect() {
    std::unique_ptr<Database> database = makeDatabase(uri_);
    EXPECT_TRUE(database->awaitConnection(5000));
    return database;
  }
  // Services `database` until the answer it stopped waiting for is read
  // (a few seconds at most); the connection must stay throughout.
  static void awaitAnswer(Database& database) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!database.connected() && std::chrono::steady_clock::now() < until) {
      EXPECT_FALSE(database.service(0).lost) << "the connection stays";
      usleep(10000);
    }
    EXPECT_TRUE(database.connected());
  }
  // Flushes until nothing waits, as the client's later passes would, for a
  // few seconds at most: on a loaded machine a write can run past the
  // records' patience, and is tried again once its answer is read.
  static void flushUntilWritten(RecordStore& store, Database& database) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
      EXPECT_FALSE(store.flush());
      if (store.queued() == 0 || std::chrono::steady_clock::now() >= until) return;
      usleep(10000);
      awaitAnswer(database);
    }
  }
  static int64_t count(Database& database, const std::string& sql) {
    StatementResult result = database.run(sql, {});
    EXPECT_FALSE(result.error) << sql << ": " << result.error.value_or("");
    return result.rowCount() == 1 ? result.values[0].integerValue : -1;
  }

  static SuiteServer postgres_;
  std::string uri_;
};

SuiteServer RecordStorePostgresTest::postgres_;

// Tables of the version before gain the appeals, in place, with what they
// held, and take an appeal.
TEST_F(RecordStorePostgresTest, TablesOfTheVersionsBeforeGainTheAppealsAndTheFleet) {
  std::unique_ptr<Database> database = connect();
  {
    RecordStore store(*database);
    ASSERT_EQ(store.open(), "");
  }
  for (const char* statement :
       {"DROP TABLE gs_appeals", "DROP TABLE gs_servers", "DROP TABLE gs_online",
        "DROP TABLE gs_requests", "DELETE FROM gs_schema",
        "INSERT INTO gs_chat (time, name_key, name, text) VALUES (1, 'bob', 'Bob', 'kept')"}) {
    ASSERT_FALSE(database->run(statement, {}).error) << statement;
  }
  ASSERT_FALSE(database
                   ->run("INSERT INTO gs_schema (version) VALUES (?)",
                         {DbValue::integer(kModerationSchemaVersion - 1)})
                   .error);
  RecordStore store(*database);
  ASSERT_EQ(store.open(), "");
  EXPECT_EQ(count(*database, "SELECT max(version) FROM gs_schema"), kModerationSchemaVersion);
  EXPECT_EQ(count(*database, "SELECT count(*) FROM gs_chat WHERE text = 'kept'"), 1);
  store.queue(
      "INSERT INTO gs_appeals (time, sanction, name, text, token) VALUES (1, 12, 'Bob',"
      " 'sorry', 'hash')",
      {});
  EXPECT_FALSE(store.flush());
  EXPECT_EQ(count(*database, "SELECT count(*) FROM gs_appeals WHERE state = 'open'"), 1);
  EXPECT_EQ(count(*database, "SELECT count(*) FROM gs_requests"), 0);
}

TEST_F(RecordStorePostgresTest, TwoClientsMakeTheTablesOnceAndHearEachOthersNotices) {
  std::unique_ptr<Database> first = connect();
  std::unique_ptr<Database> second = connect();
  RecordStore one(*first), two(*second);
  ASSERT_EQ(one.open(), "");
  ASSERT_EQ(two.open(), "");
  EXPECT_EQ(count(*first, "SELECT count(*) FROM gs_schema"), 1);
  EXPECT_EQ(count(*first, "SELECT max(version) FROM gs_schema"), kModerationSchemaVersion);

  second->listen(kChangesChannel);
  second->service(0);
  one.queue(kInsertChat, {DbValue::integer(1)});
  EXPECT_FALSE(one.noticeWaiting()) << "a record alone may wait for its batch";
  one.queueNotice("bans bob");
  EXPECT_TRUE(one.noticeWaiting()) << "the others are to hear of it at once";
  EXPECT_FALSE(one.flush());
  EXPECT_FALSE(one.noticeWaiting());
  std::vector<DatabaseNotice> heard;
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (heard.empty() && std::chrono::steady_clock::now() < until) {
    heard = second->service(0).notices;
    usleep(10000);
  }
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(heard[0].channel, kChangesChannel);
  EXPECT_EQ(heard[0].payload, "bans bob");
}

// A client that starts while another writes must not wait for it, nor
// hold a lock the writer comes to need: tables up to date are left alone.
TEST_F(RecordStorePostgresTest, AStartBesideAWritingClientTakesNoTableLock) {
  std::unique_ptr<Database> writer = connect();
  RecordStore one(*writer);
  ASSERT_EQ(one.open(), "");
  ASSERT_FALSE(writer->run("BEGIN", {}).error);
  ASSERT_FALSE(writer
                   ->run("INSERT INTO gs_players (name_key, name, first_seen, last_seen)"
                         " VALUES ('ann', 'Ann', 1, 1)",
                         {})
                   .error);
  std::unique_ptr<Database> starting = connect();
  RecordStore two(*starting);
  EXPECT_EQ(two.open(), "");
  EXPECT_FALSE(writer->run("COMMIT", {}).error);
}

TEST_F(RecordStorePostgresTest, AWriteWhoseCommitWasNotAnsweredIsWrittenExactlyOnce) {
  AnswerLosingDatabase database(connect());
  RecordStore store(database);
  ASSERT_EQ(store.open(), "");
  struct Case {
    const char* what;
    AnswerLosingDatabase::Loss loss;
  };
  const Case cases[] = {
      {"committed, the answer lost", AnswerLosingDatabase::Loss::kAfterCommit},
      {"lost before the commit", AnswerLosingDatabase::Loss::kBeforeCommit},
  };
  int64_t time = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (int i = 0; i < 3; ++i) store.queue(kInsertChat, {DbValue::integer(++time)});
    database.loss = c.loss;
    EXPECT_FALSE(store.flush()) << "the session says the connection was lost";
    EXPECT_EQ(store.queued(), 3u);
    store.queue(kInsertChat, {DbValue::integer(++time)});  // made meanwhile
    EXPECT_FALSE(store.flush());
    EXPECT_EQ(store.queued(), 0u);
    EXPECT_EQ(count(database, "SELECT count(*) FROM gs_chat"), time);
    EXPECT_EQ(count(database, "SELECT count(DISTINCT time) FROM gs_chat"), time);
  }
}

// A client killed after it kept a batch in its journal, whose commit went
// unanswered: the next run asks the database, and each record is there
// once.
TEST_F(RecordStorePostgresTest, AJournaledBatchWhoseAnswerWasLostIsWrittenOnceAfterARestart) {
  const AnswerLosingDatabase::Loss losses[] = {AnswerLosingDatabase::Loss::kAfterCommit,
                                               AnswerLosingDatabase::Loss::kBeforeCommit};
  int64_t time = 0;
  for (AnswerLosingDatabase::Loss loss : losses) {
    SCOPED_TRACE(loss == AnswerLosingDatabase::Loss::kAfterCommit ? "committed" : "not committed");
    testing::TempDir dir;
    std::string path = dir.path() + "/gsadmin-journal.db";
    size_t restored = 0, damaged = 0;
    {
      AnswerLosingDatabase database(connect());
      RecordStore store(database);
      ASSERT_EQ(store.open(), "");
      auto journal = std::make_unique<RecordJournal>(path);
      ASSERT_EQ(journal->open(), "");
      ASSERT_EQ(store.useJournal(std::move(journal), &restored, &damaged), "");
      for (int i = 0; i < 3; ++i) store.queue(kInsertChat, {DbValue::integer(++time)});
      database.loss = loss;
      EXPECT_FALSE(store.flush());
      EXPECT_EQ(store.journaled(), 3u) << "kept while the answer is awaited";
    }  // killed here: nothing more is done
    std::unique_ptr<Database> database = connect();
    RecordStore store(*database);
    ASSERT_EQ(store.open(), "");
    auto journal = std::make_unique<RecordJournal>(path);
    ASSERT_EQ(journal->open(), "");
    ASSERT_EQ(store.useJournal(std::move(journal), &restored, &damaged), "");
    EXPECT_EQ(restored, 3u);
    EXPECT_FALSE(store.flush());
    EXPECT_EQ(store.queued(), 0u);
    EXPECT_EQ(store.journaled(), 0u);
    EXPECT_EQ(count(*database, "SELECT count(*) FROM gs_chat"), time);
    EXPECT_EQ(count(*database, "SELECT count(DISTINCT time) FROM gs_chat"), time);
  }
}

// A flush the server leaves unanswered (a lock another client holds, on
// the records or on the batches) gives up within the database's patience:
// the connection stays, the records wait in the journal, the transaction is
// rolled back once it is answered, and every record is written once.
TEST_F(RecordStorePostgresTest, AFlushLeftUnansweredWaitsInTheJournalAndIsWrittenOnce) {
  int64_t time = 0;
  for (const char* table : {"gs_chat", "gs_batches"}) {
    SCOPED_TRACE(table);
    testing::TempDir dir;
    std::unique_ptr<Database> database = connect();
    RecordStore store(*database);
    ASSERT_EQ(store.open(), "");
    auto journal = std::make_unique<RecordJournal>(dir.path() + "/gsadmin-journal.db");
    ASSERT_EQ(journal->open(), "");
    size_t restored = 0, damaged = 0;
    ASSERT_EQ(store.useJournal(std::move(journal), &restored, &damaged), "");
    std::unique_ptr<Database> locker = connect();
    ASSERT_FALSE(locker->run("BEGIN", {}).error);
    ASSERT_FALSE(
        locker->run(std::string("LOCK TABLE ") + table + " IN ACCESS EXCLUSIVE MODE", {}).error);
    for (int i = 0; i < 3; ++i) store.queue(kInsertChat, {DbValue::integer(++time)});
    EXPECT_FALSE(store.flush());
    EXPECT_FALSE(database->connected()) << "the answer is still awaited";
    EXPECT_EQ(store.queued(), 3u);
    EXPECT_EQ(store.journaled(), 3u);
    ASSERT_FALSE(locker->run("COMMIT", {}).error);
    awaitAnswer(*database);
    flushUntilWritten(store, *database);
    EXPECT_EQ(store.queued(), 0u);
    EXPECT_EQ(store.journaled(), 0u);
    EXPECT_EQ(count(*database, "SELECT count(*) FROM gs_chat"), time);
    EXPECT_EQ(count(*database, "SELECT count(DISTINCT time) FROM gs_chat"), time);
  }
}

// A commit answered only after the patience ran out (a deferred trigger
// makes it slow): the batch waits as unanswered, and once the answer is
// read the next flush finds it in gs_batches and writes nothing twice.
TEST_F(RecordStorePostgresTest, ACommitAnsweredLateIsWrittenOnce) {
  std::unique_ptr<Database> database = connect();
  RecordStore store(*database);
  ASSERT_EQ(store.open(), "");
  for (const char* statement :
       {"CREATE FUNCTION slow_commit() RETURNS trigger AS"
        " 'BEGIN PERFORM pg_sleep(0.6); RETURN NULL; END' LANGUAGE plpgsql",
        "CREATE CONSTRAINT TRIGGER slow AFTER INSERT ON gs_chat DEFERRABLE INITIALLY DEFERRED"
        " FOR EACH ROW EXECUTE FUNCTION slow_commit()"}) {
    ASSERT_FALSE(database->run(statement, {}).error) << statement;
  }
  for (int i = 1; i <= 2; ++i) store.queue(kInsertChat, {DbValue::integer(i)});
  EXPECT_FALSE(store.flush());
  EXPECT_EQ(store.queued(), 2u) << "the commit's answer is still awaited";
  awaitAnswer(*database);
  ASSERT_FALSE(database->run("DROP TRIGGER slow ON gs_chat", {}).error);
  store.queue(kInsertChat, {DbValue::integer(3)});  // made meanwhile
  flushUntilWritten(store, *database);
  EXPECT_EQ(store.queued(), 0u);
  EXPECT_EQ(count(*database, "SELECT count(*) FROM gs_chat"), 3);
  EXPECT_EQ(count(*database, "SELECT count(DISTINCT time) FROM gs_chat"), 3);
}

}  // namespace
}  // namespace gsadmin
