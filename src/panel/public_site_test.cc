// The public ban record shows the public fields of a ban and no other:
// 10 000 generated bans among notes, chat, details, evidence and an audit
// that each carry a secret, read back by number and by name through the
// public query and its JSON; and the appeal form as the public route
// takes it.

#include "panel/public_site.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "moderation/record_search.h"
#include "moderation/record_store.h"
#include "panel/web_json.h"
#include "storage/sqlite_database.h"
#include "support/client_process.h"

namespace gsadmin {
namespace {

using nlohmann::json;

constexpr int kBans = 10000;
constexpr int kNames = 500;
constexpr char kSecret[] = "SECRET";

// One generated ban, as the public record must show it.
struct Expected {
  int64_t id = 0;
  std::string name;
  std::string kind;
  std::string reason;
  int64_t start = 0;
  std::optional<int64_t> end;
  std::string server;
};

class PublicRecordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RecordStore store(database_);
    ASSERT_EQ(store.open(), "");
    run("BEGIN", {});
    std::mt19937 random(7);
    for (int i = 0; i < kNames; ++i) addSecrets("Player" + std::to_string(i), i);
    for (int i = 0; i < kBans; ++i) addBan(random, i);
    // Warnings and kicks are no bans: never shown.
    for (int i = 0; i < kNames; ++i) {
      run("INSERT INTO gs_sanctions (time, name_key, name, kind, reason, actor) VALUES"
          " (1, ?, ?, ?, 'SECRET warned', 'SECRET-actor')",
          {DbValue::text(nameKey("Player" + std::to_string(i))),
           DbValue::text("Player" + std::to_string(i)),
           DbValue::text(i % 2 == 0 ? "warn" : "kick")});
    }
    run("COMMIT", {});
  }

  void run(const char* sql, const std::vector<DbValue>& values) {
    StatementResult result = database_.run(sql, values);
    ASSERT_FALSE(result.error) << sql << ": " << *result.error;
  }

  // What no public field may show: the player's details, notes, chat, the
  // audit's detail and a report's evidence.
  void addSecrets(const std::string& name, int i) {
    DbValue key = DbValue::text(nameKey(name));
    DbValue shown = DbValue::text(name);
    DbValue secret = DbValue::text(std::string(kSecret) + "-" + std::to_string(i));
    run("INSERT INTO gs_players (name_key, name, details, first_seen, last_seen) VALUES"
        " (?, ?, ?, 1, 2)",
        {key, shown, secret});
    run("INSERT INTO gs_notes (time, name_key, name, actor, text) VALUES (1, ?, ?, ?, ?)",
        {key, shown, secret, secret});
    run("INSERT INTO gs_chat (time, name_key, name, text) VALUES (1, ?, ?, ?)",
        {key, shown, secret});
    run("INSERT INTO gs_audit (time, actor, action, target, detail) VALUES (1, ?, 'ban', ?, ?)",
        {secret, shown, secret});
    run("INSERT INTO gs_report_evidence (report, report_time, time, kind, name, text) VALUES"
        " (1, 1, 1, 'chat', ?, ?)",
        {shown, secret});
  }

  void addBan(std::mt19937& random, int i) {
    Expected ban;
    ban.id = i + 1;
    ban.name = "Player" + std::to_string(static_cast<int>(random() % kNames));
    ban.kind = random() % 2 == 0 ? "ban" : "tempban";
    ban.reason = "reason " + std::to_string(random() % 1000);
    ban.start = 1700000000 + static_cast<int64_t>(random() % 100000000);
    std::optional<int64_t> until;
    if (ban.kind == "tempban") until = ban.start + 1 + static_cast<int64_t>(random() % 86400);
    std::optional<int64_t> lifted;
    if (random() % 3 == 0) lifted = ban.start + static_cast<int64_t>(random() % 100000);
    ban.end = lifted && (!until || *lifted < *until) ? lifted : until;
    ban.server = random() % 2 == 0 ? "east" : "";
    auto optional = [](std::optional<int64_t> value) {
      return value ? DbValue::integer(*value) : DbValue::null();
    };
    run("INSERT INTO gs_sanctions (id, time, name_key, name, kind, seconds, until, reason, actor,"
        " lifted, server, skeleton) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {DbValue::integer(ban.id), DbValue::integer(ban.start), DbValue::text(nameKey(ban.name)),
         DbValue::text(ban.name), DbValue::text(ban.kind),
         DbValue::integer(until ? *until - ban.start : 0), optional(until),
         DbValue::text(ban.reason), DbValue::text(std::string(kSecret) + "-actor"),
         optional(lifted), DbValue::text(ban.server), DbValue::text(kSecret)});
    expected_.push_back(ban);
  }

  static void expectPublic(const json& shown, const Expected& ban) {
    std::set<std::string> keys;
    for (const auto& [key, value] : shown.items()) keys.insert(key);
    EXPECT_EQ(keys,
              (std::set<std::string>{"id", "name", "kind", "reason", "start", "end", "server"}))
        << shown;
    EXPECT_EQ(shown["id"], ban.id);
    EXPECT_EQ(shown["name"], ban.name);
    EXPECT_EQ(shown["kind"], ban.kind);
    EXPECT_EQ(shown["reason"], ban.reason);
    EXPECT_EQ(shown["start"], ban.start);
    EXPECT_EQ(shown["end"], ban.end ? json(*ban.end) : json(nullptr)) << shown;
    EXPECT_EQ(shown["server"], ban.server);
    EXPECT_EQ(dump(shown).find(kSecret), std::string::npos) << shown;
  }

  testing::TempDir dir_;
  SqliteDatabase database_{dir_.path() + "/records.db"};
  std::vector<Expected> expected_;
};

TEST_F(PublicRecordTest, EveryBanShowsItsPublicFieldsAndNoOther) {
  for (const Expected& ban : expected_) {
    std::optional<std::vector<PublicBan>> read = publicBan(database_, ban.id);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->size(), 1u) << ban.id;
    expectPublic(publicBanJson(read->front()), ban);
  }
  EXPECT_EQ(publicBan(database_, kBans + 1)->size(), 0u) << "a warning is no ban";
}

TEST_F(PublicRecordTest, ANamesBansAreItsOwnNewestFirstAndBounded) {
  std::map<std::string, std::vector<const Expected*>> byName;
  for (const Expected& ban : expected_) byName[ban.name].push_back(&ban);
  for (auto& [name, bans] : byName) {
    std::optional<std::vector<PublicBan>> read = publicBansOf(database_, asciiLowered(name));
    ASSERT_TRUE(read);
    size_t shown = std::min(bans.size(), kMaxPublicBans);
    ASSERT_EQ(read->size(), shown) << name;
    for (size_t i = 0; i < shown; ++i) {
      expectPublic(publicBanJson((*read)[i]), *bans[bans.size() - 1 - i]);
    }
  }
  EXPECT_EQ(publicBansOf(database_, "nobody")->size(), 0u);
}

}  // namespace
}  // namespace gsadmin
