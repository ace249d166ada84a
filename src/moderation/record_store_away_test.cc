// The moderation's writes while the database cannot be reached: a real
// SQLite file behind a switch that makes every statement fail as a shared
// database that is away does. Nothing is dropped or failed for it, the
// order holds, and reads say why they found nothing.

#include <gtest/gtest.h>

#include <string>

#include "moderation/record_store.h"
#include "storage/sqlite_database.h"
#include "support/client_process.h"

namespace gsadmin {
namespace {

using testing::TempDir;

// A SQLite file that can be made unreachable. `awayAfter` lets that many
// statements through first, to lose the connection inside a transaction.
class SwitchedDatabase : public Database {
 public:
  explicit SwitchedDatabase(std::string path) : file_(std::move(path)) {}

  bool away = false;
  int awayAfter = -1;  // statements let through before going away; -1: none counted

  StatementResult run(std::string_view sql, const std::vector<DbValue>& bindings) override {
    if (awayAfter == 0) away = true;
    if (awayAfter > 0) --awayAfter;
    if (!away) return file_.run(sql, bindings);
    file_.rollBackOpenTransaction();  // a lost connection takes it along
    StatementResult result;
    result.error = "not connected to the database";
    result.unavailable = true;
    return result;
  }
  bool rollBackOpenTransaction() override { return file_.rollBackOpenTransaction(); }
  bool inTransaction() const override { return file_.inTransaction(); }
  bool isOpen() const override { return file_.isOpen(); }
  void setInterruptCheck(InterruptCheck check) override {
    file_.setInterruptCheck(std::move(check));
  }
  SqlDialect dialect() const override { return SqlDialect::kSqlite; }
  const std::string& description() const override { return file_.description(); }
  bool connected() const override { return !away; }

  SqliteDatabase file_;
};

constexpr char kInsertChat[] =
    "INSERT INTO gs_chat (time, name_key, name, text) VALUES (?, 'bob', 'Bob', 'x')";

class RecordStoreAwayTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(store_.open(), ""); }

  // The times of gs_chat, in the order written.
  std::string times() {
    StatementResult result = database_.file_.run(
        "SELECT group_concat(time, ',') FROM (SELECT time FROM gs_chat"
        " ORDER BY id)",
        {});
    return result.rowCount() == 1 ? result.values[0].bytes : "?";
  }

  TempDir dir_;
  SwitchedDatabase database_{dir_.path() + "/script.db"};
  RecordStore store_{database_};
};

TEST_F(RecordStoreAwayTest, WritesWaitInOrderWhileAwayAndGoOnceBack) {
  struct Case {
    const char* what;
    int awayAfter;  // statements through before the loss: BEGIN, writes, COMMIT
  };
  const Case cases[] = {
      {"away before the flush", 0},
      {"lost after BEGIN", 1},
      {"lost among the writes", 2},
      {"lost at COMMIT", 4},
  };
  int64_t time = 0;
  std::string expected;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (int i = 0; i < 3; ++i) {
      store_.queue(kInsertChat, {DbValue::integer(++time)});
      expected += (expected.empty() ? "" : ",") + std::to_string(time);
    }
    database_.awayAfter = c.awayAfter;
    // Many more flushes than a failing write is allowed: none is dropped,
    // none is reported (the session says the connection was lost).
    for (int flush = 0; flush < RecordStore::kWriteAttempts + 3; ++flush) {
      EXPECT_FALSE(store_.flush());
    }
    EXPECT_EQ(store_.queued(), 3u);
    EXPECT_FALSE(database_.file_.inTransaction());

    database_.away = false;
    database_.awayAfter = -1;
    EXPECT_FALSE(store_.flush());
    EXPECT_EQ(store_.queued(), 0u);
    EXPECT_EQ(times(), expected);
  }
}

TEST_F(RecordStoreAwayTest, AReadWhileAwayFailsAndSaysWhy) {
  database_.away = true;
  StatementResult read = store_.query("SELECT count(*) FROM gs_chat", {});
  EXPECT_TRUE(read.unavailable);
  EXPECT_EQ(store_.takeQueryError().value_or(""), "not connected to the database");
  EXPECT_FALSE(store_.takeQueryError()) << "said once";
}

TEST(RecordStoreAwayOpenTest, AnOpenWhileAwayIsToldApart) {
  TempDir dir;
  SwitchedDatabase database(dir.path() + "/script.db");
  RecordStore store(database);
  database.away = true;
  EXPECT_EQ(store.open(), "not connected to the database");
  EXPECT_TRUE(store.unavailable());
  store.queue(kInsertChat, {DbValue::integer(1)});
  database.away = false;
  EXPECT_FALSE(store.flush()) << "no tables yet: nothing is tried";
  EXPECT_EQ(store.queued(), 1u);
  ASSERT_EQ(store.open(), "");
  EXPECT_FALSE(store.unavailable());
  EXPECT_FALSE(store.flush());
  EXPECT_EQ(store.queued(), 0u);
}

}  // namespace
}  // namespace gsadmin
