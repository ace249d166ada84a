#include <gtest/gtest.h>

#include "support/session_harness.h"

namespace gsadmin::testing {
namespace {

TEST(AdminSessionPanelTest, TheSnapshotCopiesTheModelAndTheLoopsCounters) {
  SessionHarness h;
  ServerRecord record;
  record.name = "Arena";
  h.connect(record, {{7, "Zed"}, {2, "Amy"}});
  h.clock().advance(5);
  Snapshot snapshot = h.session().snapshot();
  EXPECT_EQ(snapshot.server.name, "Arena");
  EXPECT_TRUE(snapshot.server.connected);
  ASSERT_EQ(snapshot.players.size(), 2u);
  EXPECT_EQ(snapshot.players[0].name, "Amy") << "by id";
  EXPECT_EQ(snapshot.players[1].id, 7);
  EXPECT_EQ(snapshot.counters.datagramsByType[1], 1u) << "one connection accepted";
  EXPECT_EQ(snapshot.counters.handlerCount, 0u) << "no panel to read the handlers' times";
  EXPECT_EQ(snapshot.counters.eventsFired[static_cast<size_t>(Event::kConnect)], 1u);
  EXPECT_EQ(snapshot.lastDatagramMs, h.clock().nowMs() - 5);
  EXPECT_FALSE(snapshot.databasePath.empty());
}

}  // namespace
}  // namespace gsadmin::testing
