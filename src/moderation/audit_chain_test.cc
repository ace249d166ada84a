// The audit's chain: rows appended through the store link one to the
// next, across flushes and after rows from before the chain; and a walk
// over rows changed, removed or put in by hand names the first such row.

#include "moderation/audit_chain.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "moderation/record_store.h"
#include "storage/sqlite_database.h"
#include "support/client_process.h"

namespace gsadmin {
namespace {

using testing::TempDir;

struct Row {
  int64_t id = 0;
  std::optional<std::string> prev;
  std::optional<std::string> chain;
  std::vector<DbValue> content;
};

std::vector<DbValue> contentOf(int64_t time, std::string target) {
  return {DbValue::integer(time), DbValue::text("console"),
          DbValue::text("kick"),  DbValue::text(std::move(target)),
          DbValue::text("why"),   DbValue::text("east"),
          DbValue::null()};
}

// Rows 1..count as the store links them.
std::vector<Row> linkedRows(int count) {
  std::vector<Row> rows;
  std::string last;
  for (int id = 1; id <= count; ++id) {
    Row row{id, last, std::nullopt, contentOf(100 + id, "P" + std::to_string(id))};
    row.chain = auditLink(last, row.content);
    last = *row.chain;
    rows.push_back(row);
  }
  return rows;
}

std::string walk(const std::vector<Row>& rows) {
  AuditChainCheck check;
  for (const Row& row : rows) {
    if (!check.add(row.id, row.prev, row.chain, row.content)) break;
  }
  return check.finding().line();
}

TEST(AuditChainTest, AWalkNamesTheFirstRowChangedRemovedOrInserted) {
  const struct {
    const char* what;
    void (*tamper)(std::vector<Row>&);
    const char* finding;
  } kCases[] = {
      {"untouched", [](std::vector<Row>&) {}, ""},
      {"one byte of a target", [](std::vector<Row>& rows) { rows[2].content[3].bytes[0] = 'Q'; },
       "audit row 3 was changed"},
      {"a time", [](std::vector<Row>& rows) { rows[3].content[0].integerValue += 1; },
       "audit row 4 was changed"},
      {"a row's own link", [](std::vector<Row>& rows) { rows[1].chain->at(0) ^= 1; },
       "audit row 2 was changed"},
      {"a row removed", [](std::vector<Row>& rows) { rows.erase(rows.begin() + 2); },
       "audit rows between row 2 and row 4 were removed"},
      {"the first rows removed",
       [](std::vector<Row>& rows) { rows.erase(rows.begin(), rows.begin() + 2); },
       "audit rows before row 3 were removed"},
      {"a row without a link put in",
       [](std::vector<Row>& rows) {
         rows.insert(rows.begin() + 2, Row{25, std::nullopt, std::nullopt, contentOf(1, "X")});
       },
       "audit row 25 was inserted"},
      {"a row linked by hand put in",
       [](std::vector<Row>& rows) {
         Row forged{25, rows[1].chain, std::nullopt, contentOf(1, "X")};
         forged.chain = auditLink(*forged.prev, forged.content);
         rows.insert(rows.begin() + 2, forged);
       },
       "audit row 25 was inserted"},
  };
  for (const auto& c : kCases) {
    std::vector<Row> rows = linkedRows(6);
    c.tamper(rows);
    EXPECT_EQ(walk(rows), c.finding) << c.what;
  }
}

TEST(AuditChainTest, RowsFromBeforeTheChainAreCountedNotJudged) {
  std::vector<Row> rows = {Row{1, std::nullopt, std::nullopt, contentOf(1, "Old")},
                           Row{2, std::nullopt, std::nullopt, contentOf(2, "Old")}};
  for (Row& row : linkedRows(3)) {
    row.id += 2;
    rows.push_back(row);
  }
  AuditChainCheck check;
  for (const Row& row : rows) ASSERT_TRUE(check.add(row.id, row.prev, row.chain, row.content));
  EXPECT_EQ(check.unchained(), 2u);
  EXPECT_EQ(check.chained(), 3u);
}

// Rows read back as the walk reads them.
std::vector<Row> storedRows(Database& database) {
  StatementResult result = database.run(
      "SELECT id, time, actor, action, target, detail, server, sanction, prev, chain"
      " FROM gs_audit ORDER BY id",
      {});
  EXPECT_FALSE(result.error) << result.error.value_or("");
  std::vector<Row> rows;
  for (size_t row = 0; row < result.rowCount(); ++row) {
    const DbValue* v = &result.values[row * 10];
    auto text = [](const DbValue& value) {
      return value.type == DbValue::Type::kNull ? std::nullopt : std::optional(value.bytes);
    };
    rows.push_back(Row{v[0].integerValue, text(v[8]), text(v[9]), {v + 1, v + 8}});
  }
  return rows;
}

// Appended over several flushes, after rows of a version without links,
// the store's rows make one chain; a row edited afterwards is found.
TEST(AuditChainTest, TheStoreLinksEveryRowItAppends) {
  TempDir dir;
  SqliteDatabase database(dir.path() + "/script.db");
  RecordStore store(database);
  ASSERT_EQ(store.open(), "");
  ASSERT_FALSE(database
                   .run("INSERT INTO gs_audit (time, actor, action, target) VALUES (1, 'a', "
                        "'kick', 'b')",
                        {})
                   .error);
  for (int flush = 0; flush < 3; ++flush) {
    for (int i = 0; i < 4; ++i) store.queue(kInsertAudit, contentOf(flush * 10 + i, "T"));
    store.queue("INSERT INTO gs_chat (time, name_key, name, text) VALUES (1, 'b', 'B', 'hi')", {});
    ASSERT_FALSE(store.flush());
  }
  std::vector<Row> rows = storedRows(database);
  ASSERT_EQ(rows.size(), 13u);
  EXPECT_EQ(walk(rows), "");
  ASSERT_FALSE(database.run("UPDATE gs_audit SET detail = 'whz' WHERE id = 7", {}).error);
  EXPECT_EQ(walk(storedRows(database)), "audit row 7 was changed");
}

// A line about a sanction queued behind the sanction's own row gets its
// number as it is written, and the number is part of the link.
TEST(AuditChainTest, ALineAboutASanctionLinksItsNumber) {
  TempDir dir;
  SqliteDatabase database(dir.path() + "/script.db");
  RecordStore store(database);
  ASSERT_EQ(store.open(), "");
  store.queue(
      "INSERT INTO gs_sanctions (time, name_key, name, kind, actor, server)"
      " VALUES (50, 'bob', 'Bob', 'ban', 'op', 'east')",
      {});
  std::vector<DbValue> line = contentOf(50, "Bob");
  for (DbValue lookup :
       {DbValue::text("bob"), DbValue::text("ban"), DbValue::integer(50), DbValue::text("east")}) {
    line.push_back(lookup);
  }
  store.queue(kInsertAuditOfSanction, line);
  ASSERT_FALSE(store.flush());
  std::vector<Row> rows = storedRows(database);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].content[6].integerValue, 1);
  EXPECT_EQ(walk(rows), "");
  ASSERT_FALSE(database.run("UPDATE gs_audit SET sanction = 2", {}).error);
  EXPECT_EQ(walk(storedRows(database)), "audit row 1 was changed");
}

}  // namespace
}  // namespace gsadmin
