// What the metrics count of the acts: each act carried out once, by door;
// not the reads, the refusals, nor an unban that lifted nothing. And the
// ban edits typed at the console.

#include <gtest/gtest.h>

#include "commands/commands.h"
#include "moderation/moderation.h"
#include "support/session_harness.h"

namespace gsadmin {
namespace {

using Tallies = std::vector<Commands::Tally>;

class CommandsTallyTest : public ::testing::Test {
 protected:
  CommandsTallyTest() {
    harness_.connect();
    harness_.deliver(testing::playerJoined(3, "Bob"));
    harness_.deliver(testing::playerDetails(3, "key-b3"));
    harness_.output();
  }

  std::string type(const std::string& line) {
    harness_.session().handleTypedLine(line);
    return harness_.output();
  }
  Tallies tallies() { return harness_.session().commands().tallies(); }

  testing::SessionHarness harness_;
};

TEST_F(CommandsTallyTest, ActsDoneAreCountedOnceByDoor) {
  type(".kick Bob spam");
  type(".bans");            // a read
  type(".kick Nobody x");   // refused
  type(".unban Nobody");    // lifted nothing
  type(".tempban Zed 1h");  // on a name off the server
  EXPECT_EQ(tallies(), (Tallies{{"kick", "console", 1}, {"tempban", "console", 1}}));
  Commands& commands = harness_.session().commands();
  ActRequest request;
  request.actor = Actor{Actor::Kind::kPanel, "alice", kAdminLevel, std::nullopt};
  request.target.name = "Zed";
  EXPECT_TRUE(commands.run(*findAct("unban"), kPanelDoor, request).done());
  EXPECT_EQ(tallies(),
            (Tallies{{"kick", "console", 1}, {"tempban", "console", 1}, {"unban", "panel", 1}}));
}

TEST_F(CommandsTallyTest, BanEditsAreTypedWithTheBansNumber) {
  type(".tempban Zed 1h first");
  harness_.session().moderation()->writeRecords();
  std::optional<RecordPage<SanctionRecord>> bans =
      harness_.session().moderation()->sanctions().searchBans({}, {}, 0);
  ASSERT_TRUE(bans && bans->rows.size() == 1);
  std::string id = std::to_string(bans->rows[0].id);
  EXPECT_NE(
      type(".banreason #" + id + " second").find("gave ban #" + id + " on Zed the reason: second"),
      std::string::npos);
  EXPECT_NE(type(".banlength " + id + " 2h").find("made ban #" + id + " on Zed last 2h"),
            std::string::npos);
  EXPECT_NE(type(".banreason x second").find("a ban's number is needed"), std::string::npos);
  EXPECT_NE(type(".banlength #999 2h").find("there is no ban #999"), std::string::npos);
  EXPECT_NE(type(".banlength " + id + " soon").find("is not a duration"), std::string::npos);
  std::vector<AuditRecord> audit = harness_.session().moderation()->sanctions().lastAudit(10);
  ASSERT_GE(audit.size(), 3u);
  EXPECT_EQ(audit[0].action, "ban length");
  EXPECT_EQ(audit[0].detail, "#" + id + ": 2h");
  EXPECT_EQ(audit[1].action, "ban reason");
  EXPECT_EQ(audit[1].detail, "#" + id + ": second");
}

}  // namespace
}  // namespace gsadmin
