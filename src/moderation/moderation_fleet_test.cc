// Moderation as one client of several sharing a database, through a real
// session on a real SQLite file: the server named in the records and the
// listings, the kills, and the notices of another client read and enforced.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "moderation/moderation.h"
#include "protocol/wire.h"
#include "sim/server_messages.h"
#include "support/session_harness.h"

namespace gsadmin {
namespace {

using testing::SessionHarness;

// Bob (5) and Ann (7) on the server "arena", Olga at the console.
class ModerationFleetTest : public ::testing::Test {
 protected:
  ModerationFleetTest()
      : h(std::nullopt, defaults::kAdminName, defaults::kAdminPassword,
          testing::Transport::kInMemory, [](SessionSettings& settings) {
            settings.moderation.serverName = "arena";
            settings.operatorName = "Olga";
          }) {
    h.connect();
    join(5, "Bob");
    join(7, "Ann");
    h.sent();
    h.output();
  }

  void join(uint8_t id, const std::string& name) {
    h.deliver(testing::playerJoined(id, name));
    h.deliver(testing::playerDetails(id, "key-" + name));
  }

  Moderation& moderation() { return *h.session().moderation(); }
  // Runs `sql` as another client of the database would.
  void runElsewhere(const std::string& sql) {
    moderation().writeRecords();  // this client's records first
    StatementResult result = h.session().database().run(sql, {});
    ASSERT_FALSE(result.error) << *result.error;
  }
  std::string typed(const std::string& line) {
    h.session().handleTypedLine(line);
    return h.output();
  }
  int64_t count(const std::string& sql) {
    moderation().writeRecords();
    StatementResult result = h.session().database().run(sql, {});
    EXPECT_FALSE(result.error) << *result.error;
    return result.rowCount() == 1 ? result.values[0].integerValue : -1;
  }
  bool kicked(uint8_t id) {
    for (const testing::Datagram& d : h.sent()) {
      if (d.size() == 3 && d[0] == wire::kKickRequestId && d[1] == id) return true;
    }
    return false;
  }
  DatabaseEvents notice(const std::string& payload) {
    DatabaseEvents events;
    events.notices.push_back({kChangesChannel, payload});
    return events;
  }

  SessionHarness h;
};

TEST_F(ModerationFleetTest, EveryRecordNamesItsServer) {
  h.deliver(testing::chatLine(5, 1, "hello"));
  h.deliver(testing::deathReport(7, 5, 1));
  h.deliver(testing::deathReport(5, 5, 1));  // a suicide is no kill
  typed(".warn Bob spam");
  typed(".note Ann friendly");
  for (const char* table : {"gs_sessions", "gs_chat", "gs_sanctions", "gs_notes", "gs_audit"}) {
    EXPECT_EQ(count(std::string("SELECT count(*) FROM ") + table + " WHERE server <> 'arena'"), 0)
        << table;
    EXPECT_GT(count(std::string("SELECT count(*) FROM ") + table), 0) << table;
  }
  EXPECT_EQ(count("SELECT count(*) FROM gs_players WHERE last_server = 'arena'"), 2);
  EXPECT_EQ(count("SELECT count(*) FROM gs_kills WHERE server = 'arena' AND killer = 'Bob'"
                  " AND victim = 'Ann'"),
            1);
  EXPECT_EQ(count("SELECT count(*) FROM gs_kills"), 1);
}

TEST_F(ModerationFleetTest, ListingsSayWhereAPlayerWasSeenAndEachSanctionMade) {
  typed(".warn Bob spam");
  h.deliver(testing::chatLine(5, 1, "hello"));
  h.output();
  runElsewhere(
      "INSERT INTO gs_players (name_key, name, first_seen, last_seen, last_server)"
      " VALUES ('cy', 'Cy', 1796731000, 1796731100, 'beta')");
  runElsewhere(
      "INSERT INTO gs_sanctions (time, name_key, name, kind, reason, actor, server)"
      " VALUES (1796731100, 'bob', 'Bob', 'kick', 'camping', 'Zed', 'beta')");
  runElsewhere(
      "INSERT INTO gs_chat (time, name_key, name, recipient, text, server)"
      " VALUES (1796731100, 'bob', 'Bob', 'Cy', 'hi', 'beta')");
  std::string seen = typed(".seen cy");
  EXPECT_EQ(seen.substr(0, 38), "* Cy: last seen 2026-12-08 11:58 UTC (") << seen;
  EXPECT_NE(seen.find(" ago) on beta, not online\n"), std::string::npos) << seen;
  EXPECT_EQ(typed(".history Bob"),
            "* Bob: 2 sanctions, 0 notes, the last 2 chat lines\n"
            "* #2 2026-12-08 11:58 UTC kick by Zed on beta: camping\n"
            "* #1 2026-12-08 12:00 UTC warn by Olga on arena: spam\n"
            "* 2026-12-08 12:00 UTC said on arena: hello\n"
            "* 2026-12-08 11:58 UTC to Cy on beta: hi\n");
}

TEST_F(ModerationFleetTest, EachActIsKickedOnceAndAuditedWithItsDoorAndServer) {
  join(9, "Cy");
  h.sent();
  h.output();
  const struct {
    const char* act;
    uint8_t id;
    const char* key;
  } acts[] = {{".ban Bob cheating", 5, "bob"},
              {".tempban Ann 1h flood", 7, "ann"},
              {".kick Cy spam", 9, "cy"}};
  for (const auto& a : acts) {
    typed(a.act);
    size_t removals = 0;
    for (const testing::Datagram& d : h.sent()) {
      bool removal = d[0] == wire::kKickRequestId || d[0] == wire::kBanRequestId;
      if (d.size() == 3 && removal && d[1] == a.id) ++removals;
    }
    EXPECT_EQ(removals, 1u) << a.act;
    if (std::string(a.key) == "cy") {
      runElsewhere(
          "INSERT INTO gs_sanctions (time, name_key, name, kind, reason, actor, server)"
          " VALUES (1796731200, 'cy', 'Cy', 'ban', 'spam', 'Zed', 'beta')");
    }
    // This client's own notice, or another's ban, while the server takes
    // the player off: the slot is not told or kicked again.
    moderation().databaseChanged(notice(std::string("bans ") + a.key));
    EXPECT_TRUE(h.sent().empty()) << a.act;
    EXPECT_EQ(h.output(), "") << a.act;
  }
  EXPECT_EQ(typed(".audit 3"),
            "* #3 2026-12-08 12:00 UTC console:Olga kick Cy on arena: spam\n"
            "* #2 2026-12-08 12:00 UTC console:Olga tempban Ann on arena: 1h: flood\n"
            "* #1 2026-12-08 12:00 UTC console:Olga ban Bob on arena: cheating\n");
  // A banned player who comes back to the slot is kicked as ever.
  h.deliver(testing::playerLeft(1, 5));
  h.deliver(testing::playerJoined(5, "Bob"));
  EXPECT_TRUE(kicked(5));
}

TEST_F(ModerationFleetTest, AListingWhoseReadsFailSaysSoRatherThanNothingKnown) {
  runElsewhere("DROP TABLE gs_notes");
  EXPECT_EQ(typed(".seen Bob"), "* .seen: cannot read the records: no such table: gs_notes\n");
  EXPECT_EQ(typed(".history Bob"),
            "* .history: cannot read the records: no such table: gs_notes\n");
  EXPECT_EQ(typed(".seen Nobody"), "* nothing is known of Nobody\n");
}

TEST_F(ModerationFleetTest, ABanMadeElsewhereKicksThePlayersItCovers) {
  // Once the index is read it answers alone until told (while it is read,
  // the database is asked).
  ASSERT_EQ(moderation().sanctions().awaitLoaded(h.clock().wallSeconds()), "");
  // Bib shares Bob's details: an alias.
  h.deliver(testing::playerJoined(9, "Bib"));
  h.deliver(testing::playerDetails(9, "key-Bob"));
  h.sent();
  h.output();
  runElsewhere(
      "INSERT INTO gs_sanctions (time, name_key, name, kind, reason, actor, server)"
      " VALUES (1796731200, 'bob', 'Bob', 'ban', 'cheating', 'Zed', 'beta')");
  EXPECT_FALSE(moderation().sanctions().activeBan("Bob", h.clock().wallSeconds()));

  moderation().databaseChanged(notice("bans bob"));
  EXPECT_TRUE(moderation().sanctions().activeBan("Bob", h.clock().wallSeconds()));
  EXPECT_EQ(h.output(),
            "* Bob is banned permanently (cheating): kicked\n"
            "* Bib is banned as Bob permanently (cheating): kicked\n");
  // The same notice again, or this client's own: nothing more.
  moderation().databaseChanged(notice("bans BOB"));
  EXPECT_EQ(h.output(), "");

  runElsewhere("UPDATE gs_sanctions SET lifted = 1796731200 WHERE name_key = 'bob'");
  moderation().databaseChanged(notice("bans bob"));
  EXPECT_FALSE(moderation().sanctions().activeBan("Bob", h.clock().wallSeconds()));
}

TEST_F(ModerationFleetTest, AdminsAndEverythingAreReadAgainWhenTold) {
  runElsewhere(
      "INSERT INTO gs_admins (name_key, name, details, level, added_by, added)"
      " VALUES ('ann', 'Ann', 'key-Ann', 2, 'Zed', 1796731200)");
  EXPECT_EQ(moderation().admins().levelOf("Ann", "key-Ann"), 0);
  moderation().databaseChanged(notice("admins"));
  EXPECT_EQ(moderation().admins().levelOf("Ann", "key-Ann"), 2);

  // Notices on other channels, of other kinds, or of no name change nothing.
  runElsewhere("DELETE FROM gs_admins");
  for (const char* payload : {"admin", "bans", "", "ADMINS"}) {
    moderation().databaseChanged(notice(payload));
  }
  EXPECT_EQ(moderation().admins().levelOf("Ann", "key-Ann"), 2);

  // A reconnection: notices were missed, all is read again.
  runElsewhere(
      "INSERT INTO gs_sanctions (time, name_key, name, kind, reason, actor, server)"
      " VALUES (1796731200, 'ann', 'Ann', 'ban', 'rude', 'Zed', 'beta')");
  DatabaseEvents back;
  back.connected = true;
  moderation().databaseChanged(back);
  EXPECT_EQ(moderation().admins().levelOf("Ann", "key-Ann"), 0);
  EXPECT_TRUE(kicked(7));
}

TEST_F(ModerationFleetTest, ABanNotYetWrittenOutlivesANotice) {
  Database& database = h.session().database();
  ASSERT_FALSE(database.run("BEGIN", {}).error);  // a script's: the records wait
  typed(".tempban Ann 1h flood");
  // Read now, before the ban is written, the database would drop it.
  moderation().databaseChanged(notice("bans ann"));
  EXPECT_TRUE(moderation().sanctions().activeBan("Ann", h.clock().wallSeconds()));
  ASSERT_FALSE(database.run("COMMIT", {}).error);
  moderation().tick();  // written, then read
  EXPECT_TRUE(moderation().sanctions().activeBan("Ann", h.clock().wallSeconds()));
  EXPECT_EQ(count("SELECT count(*) FROM gs_sanctions WHERE name_key = 'ann'"), 1);
}

}  // namespace
}  // namespace gsadmin
