// The login does not wait for the bans: the session connects while they are
// read, and a banned player who joins meanwhile is told and kicked all the
// same (the database is asked), under his own name or one that looks like
// it.

#include <gtest/gtest.h>

#include <string>

#include "moderation/moderation.h"
#include "moderation/name_skeleton.h"
#include "protocol/wire.h"
#include "sim/server_messages.h"
#include "storage/sqlite_database.h"
#include "support/client_process.h"
#include "support/manual_clock.h"
#include "support/session_harness.h"

namespace gsadmin {
namespace {

using testing::SessionHarness;

// Enough that reading them takes far longer than a login's first passes.
constexpr int kBans = 40000;

// A file of `kBans` bans of a day, "Mallory" among them, as a client
// writes them.
void writeBans(const std::string& path, int64_t now) {
  SqliteDatabase database(path);
  RecordStore store(database);
  ASSERT_EQ(store.open(), "");
  NameSkeletons skeletons;
  ASSERT_FALSE(database.run("BEGIN", {}).error);
  for (int i = 0; i < kBans; ++i) {
    std::string name = i == kBans / 2 ? "Mallory" : "Banned" + std::to_string(i);
    StatementResult result = database.run(
        "INSERT INTO gs_sanctions (time, name_key, name, kind, until, reason, actor, skeleton)"
        " VALUES (?, ?, ?, 'tempban', ?, 'grief', 'Op', ?)",
        {DbValue::integer(now), DbValue::text(nameKey(name)), DbValue::text(name),
         DbValue::integer(now + 86400), DbValue::text(skeletons.of(nameKey(name)))});
    ASSERT_FALSE(result.error) << *result.error;
  }
  ASSERT_FALSE(database.run("COMMIT", {}).error);
}

std::vector<int> kicked(const std::vector<testing::Datagram>& sent) {
  std::vector<int> ids;
  for (const testing::Datagram& d : sent) {
    if (d.size() == 3 && d[0] == wire::kKickRequestId) ids.push_back(d[1]);
  }
  return ids;
}

TEST(ModerationLoadingTest, ABannedPlayerJoiningWhileTheBansAreReadIsKicked) {
  testing::TempDir dir;
  std::string path = dir.path() + "/bans.db";
  writeBans(path, ManualClock::kEpochSeconds);
  SessionHarness h(std::nullopt, defaults::kAdminName, defaults::kAdminPassword,
                   testing::Transport::kInMemory,
                   [path](SessionSettings& settings) { settings.databasePath = path; });
  ASSERT_NE(h.session().moderation(), nullptr);
  Sanctions& sanctions = h.session().moderation()->sanctions();
  ASSERT_TRUE(sanctions.loading());
  EXPECT_EQ(h.session().moderation()->msUntilWork(), Sanctions::kLoadPollMs);
  h.login();
  // The index is taken only at the end of a pass, after its joins.
  ASSERT_FALSE(sanctions.indexed()) << "the bans were read before the login";
  h.deliver({testing::connectionAccepted(testing::ServerRecord(), {}),
             testing::playerJoined(3, "mALLORY"), testing::playerJoined(4, "M\xd0\xb0llory"),
             testing::playerJoined(5, "Innocent")});
  EXPECT_EQ(kicked(h.sent()), (std::vector<int>{3, 4}));
  std::string output = h.output();
  EXPECT_NE(output.find("* mALLORY is banned until "), std::string::npos) << output;
  EXPECT_NE(output.find(" is banned as Mallory until "), std::string::npos) << output;

  // Once read, the index answers the same.
  ASSERT_EQ(sanctions.awaitLoaded(h.clock().wallSeconds()), "");
  EXPECT_TRUE(sanctions.indexed());
  EXPECT_GT(sanctions.indexBytes(), 0u);
  EXPECT_FALSE(h.session().moderation()->msUntilWork());
  h.deliver({testing::playerLeft(0, 3), testing::playerJoined(3, "MALLORY"),
             testing::playerJoined(6, "Banned7"), testing::playerJoined(7, "Bystander")});
  EXPECT_EQ(kicked(h.sent()), (std::vector<int>{3, 6}));
}

}  // namespace
}  // namespace gsadmin
