// The bans' and the audit's searches and exports through the real binary:
// filters, pages past 200, and exports that a spreadsheet opens safely.

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <set>

#include "moderation/record_store.h"
#include "storage/sqlite_database.h"
#include "support/panel_client.h"

namespace gsadmin::testing {
namespace {

using nlohmann::json;

constexpr int kBans = 450;
constexpr int kAuditLines = 320;
constexpr char kHostile[] = "=cmd|' /C calc'!A0";
constexpr char kAwkward[] = "spam, \"flood\"\nand more";

int64_t wallNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// kBans bans on Name1..Name450: made by alice when i % 3 == 0 (else bob),
// on "east" when i is odd (else "west"), ended when i % 5 == 0, lifted when
// i % 7 == 0; ban 7's reason is kHostile, ban 8's kAwkward. And kAuditLines
// audit lines: "kick" by console:Op on Target1..., each a minute apart.
std::string fillRecords(const std::string& path, int64_t now) {
  SqliteDatabase database(path);
  RecordStore store(database);
  if (std::string error = store.open(); !error.empty()) return error;
  StatementResult bans = database.run(
      "INSERT INTO gs_sanctions (id, time, name_key, name, kind, seconds, until, reason, actor,"
      " lifted, server, skeleton)"
      " WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?)"
      " SELECT i, ? - 1000 + i, 'name' || i, 'Name' || i, 'tempban', 3600,"
      " CASE WHEN i % 5 = 0 THEN ? - 10 ELSE ? + 3600 END,"
      " CASE i WHEN 7 THEN ? WHEN 8 THEN ? ELSE 'reason ' || i END,"
      " CASE WHEN i % 3 = 0 THEN 'alice' ELSE 'bob' END,"
      " CASE WHEN i % 7 = 0 THEN ? ELSE NULL END,"
      " CASE WHEN i % 2 = 1 THEN 'east' ELSE 'west' END, 'name' || i FROM n",
      {DbValue::integer(kBans), DbValue::integer(now), DbValue::integer(now), DbValue::integer(now),
       DbValue::text(kHostile), DbValue::text(kAwkward), DbValue::integer(now)});
  if (bans.error) return *bans.error;
  StatementResult audit = database.run(
      "INSERT INTO gs_audit (time, actor, action, target, detail, server)"
      " WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?)"
      " SELECT ? - 60 * i, CASE WHEN i % 4 = 0 THEN 'panel:alice' ELSE 'console:Op' END,"
      " CASE WHEN i % 2 = 0 THEN 'kick' ELSE 'warn' END, 'Target' || i, 'why ' || i, 'east'"
      " FROM n",
      {DbValue::integer(kAuditLines), DbValue::integer(now)});
  return audit.error.value_or("");
}

// The records of RFC 4180 text, each a list of fields.
std::vector<std::vector<std::string>> parseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    std::string& field = records.back().back();
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      records.back().emplace_back();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++i;
      records.emplace_back(1);
    } else {
      field += c;
    }
  }
  records.pop_back();  // after the last CRLF
  return records;
}

class PanelRecordsTest : public PanelEndToEndTest {
 protected:
  void SetUp() override {
    now_ = wallNow();
    std::string path = dir_.path() + "/records.db";
    ASSERT_EQ(fillRecords(path, now_), "");
    startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_), "--db=" + path}, true);
    int port = portOf(*client_, "Panel");
    ASSERT_NE(port, 0) << client_->output() << client_->errorOutput();
    http_ = std::make_unique<httplib::Client>("127.0.0.1", port);
    http_->set_read_timeout(10, 0);
    std::optional<WebUser> user = logIn(*http_, "alice", "secret");
    ASSERT_TRUE(user);
    user_ = *user;
  }

  std::pair<int, std::string> get(const std::string& path) {
    httplib::Result result = http_->Get(path, headersOf(user_));
    if (!result) return {-1, ""};
    return {result->status, result->body};
  }
  json getJson(const std::string& path) {
    auto [status, body] = get(path);
    EXPECT_EQ(status, 200) << path << ": " << body;
    return status == 200 ? json::parse(body) : json();
  }
  // Every row of a search, page by page; the ids must fall.
  std::vector<json> allPages(const std::string& path, const std::string& key, int* pages) {
    std::vector<json> rows;
    std::string before;
    for (*pages = 0; *pages < 100; ++*pages) {
      json page = getJson(path + before);
      for (const json& row : page[key]) rows.push_back(row);
      if (page["next"].is_null()) break;
      before = "&before=" + std::to_string(page["next"].get<int64_t>());
    }
    ++*pages;
    return rows;
  }

  int64_t now_ = 0;
  std::unique_ptr<httplib::Client> http_;
  WebUser user_;
};

TEST_F(PanelRecordsTest, BansArePagedPastTwoHundredAndFiltered) {
  int pages = 0;
  std::vector<json> all = allPages("/api/bans/search?limit=200", "bans", &pages);
  EXPECT_EQ(pages, 3);
  ASSERT_EQ(all.size(), static_cast<size_t>(kBans));
  for (size_t i = 0; i < all.size(); ++i) EXPECT_EQ(all[i]["id"], kBans - static_cast<int>(i));

  // What each filter should find, counted as the seeding made the rows.
  struct Case {
    std::string query;
    bool (*keeps)(int i);
  } cases[] = {
      {"q=NAME12", [](int i) { return std::to_string(i).starts_with("12"); }},
      {"state=active", [](int i) { return i % 5 != 0 && i % 7 != 0; }},
      {"state=ended", [](int i) { return i % 5 == 0 || i % 7 == 0; }},
      {"actor=ALI", [](int i) { return i % 3 == 0; }},
      {"server=east", [](int i) { return i % 2 == 1; }},
      {"server=eas", [](int) { return false; }},
      {"q=%25", [](int) { return false; }},
      {"state=active&actor=bob&server=west",
       [](int i) { return i % 5 != 0 && i % 7 != 0 && i % 3 != 0 && i % 2 == 0; }},
  };
  for (const Case& c : cases) {
    std::set<int64_t> expected;
    for (int i = 1; i <= kBans; ++i) {
      if (c.keeps(i)) expected.insert(i);
    }
    std::vector<json> found = allPages("/api/bans/search?limit=50&" + c.query, "bans", &pages);
    std::set<int64_t> ids;
    for (const json& ban : found) ids.insert(ban["id"].get<int64_t>());
    EXPECT_EQ(ids, expected) << c.query;
    EXPECT_EQ(found.size(), ids.size()) << c.query;
  }
}

TEST_F(PanelRecordsTest, FaultyQueriesAreRefused) {
  for (const char* path :
       {"/api/bans/search?limit=201", "/api/bans/search?limit=0", "/api/bans/search?state=gone",
        "/api/bans/search?before=-3", "/api/bans/search?before=abc", "/api/bans/search?q=%0Aname",
        "/api/audit/search?from=yesterday", "/api/bans/export?format=xls"}) {
    EXPECT_EQ(get(path).first, 400) << path;
  }
  std::string longText(65, 'a');
  EXPECT_EQ(get("/api/audit/search?target=" + longText).first, 400);
  EXPECT_EQ(get("/api/bans/search?q=" + longText.substr(1)).first, 200);
  httplib::Result anonymous = http_->Get("/api/bans/export");
  ASSERT_TRUE(anonymous);
  EXPECT_EQ(anonymous->status, 401);
}

TEST_F(PanelRecordsTest, ExportsRoundTripAndNeutraliseFormulas) {
  httplib::Result csv = http_->Get("/api/bans/export?format=csv", headersOf(user_));
  ASSERT_TRUE(csv);
  ASSERT_EQ(csv->status, 200) << csv->body;
  EXPECT_EQ(csv->get_header_value("Content-Type"), "text/csv; charset=utf-8");
  EXPECT_NE(csv->get_header_value("Content-Disposition").find("bans.csv"), std::string::npos);
  json exported = getJson("/api/bans/export?format=json");
  ASSERT_EQ(exported.size(), static_cast<size_t>(kBans));
  std::vector<std::vector<std::string>> records = parseCsv(csv->body);
  ASSERT_EQ(records.size(), static_cast<size_t>(kBans) + 1);
  std::vector<std::string> header{"id",    "time",   "name",   "kind",  "seconds",
                                  "until", "lifted", "reason", "actor", "server"};
  EXPECT_EQ(records[0], header);
  for (size_t row = 0; row < exported.size(); ++row) {
    const json& ban = exported[row];
    const std::vector<std::string>& fields = records[row + 1];
    ASSERT_EQ(fields.size(), header.size()) << row;
    EXPECT_EQ(fields[0], std::to_string(ban["id"].get<int64_t>()));
    EXPECT_EQ(fields[2], ban["name"]);
    EXPECT_EQ(fields[6],
              ban["lifted"].is_null() ? "" : std::to_string(ban["lifted"].get<int64_t>()));
    std::string reason = ban["reason"];
    EXPECT_EQ(fields[7], reason == kHostile ? "'" + reason : reason);
  }
  EXPECT_NE(csv->body.find("\"spam, \"\"flood\"\"\nand more\""), std::string::npos);
  EXPECT_NE(csv->body.find(",'=cmd|' /C calc'!A0,"), std::string::npos);
  EXPECT_EQ(exported[kBans - 8]["reason"], kAwkward);

  httplib::Result audit = http_->Get("/api/audit/export?format=csv&actor=alice", headersOf(user_));
  ASSERT_TRUE(audit);
  ASSERT_EQ(audit->status, 200);
  EXPECT_EQ(parseCsv(audit->body).size(), static_cast<size_t>(kAuditLines / 4) + 1);
}

TEST_F(PanelRecordsTest, AuditIsPagedAndFiltered) {
  int pages = 0;
  std::vector<json> all = allPages("/api/audit/search?limit=200", "audit", &pages);
  EXPECT_EQ(all.size(), static_cast<size_t>(kAuditLines));
  EXPECT_EQ(pages, 2);
  struct Case {
    std::string query;
    size_t count;
  } cases[] = {
      {"actor=panel:alice", kAuditLines / 4},
      {"actor=op", kAuditLines - kAuditLines / 4},
      {"action=kick", kAuditLines / 2},
      {"action=kic", 0},
      {"target=target31", 11},  // 31, 310..319
      {"server=east", kAuditLines},
      {"server=west", 0},
      // Target1 to Target10 are 60 to 600 s old.
      {"from=" + std::to_string(now_ - 600) + "&to=" + std::to_string(now_), 10},
      {"action=warn&from=" + std::to_string(now_ - 600), 5},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(allPages("/api/audit/search?" + c.query, "audit", &pages).size(), c.count) << c.query;
  }
}

}  // namespace
}  // namespace gsadmin::testing
