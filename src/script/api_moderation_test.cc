// The moderation's API functions, called from Lua as a script does: their
// results, refusals and lines, the script named as the actor, and the
// event of a script's own action.

#include <gtest/gtest.h>

#include <string>

#include "moderation/moderation.h"
#include "protocol/wire.h"
#include "script/api_test_script.h"
#include "sim/server_messages.h"
#include "support/client_process.h"

namespace gsadmin {
namespace {

using testing::ApiScript;
using testing::BareApiState;
using testing::Datagram;

bool kicked(const std::vector<Datagram>& sent, uint8_t id) {
  for (const Datagram& d : sent) {
    if (d == Datagram{wire::kKickRequestId, id, 0x00}) return true;
  }
  return false;
}

// A session with Bob (5) and Ann (7) in the model.
class ApiModerationTest : public ::testing::Test {
 protected:
  ApiModerationTest() {
    s.session().players().add(5, "Bob");
    s.session().players().add(7, "Ann").info = "key-ann";
    actor = s.harness().scriptPath();
  }

  ApiScript s;
  std::string actor;
};

TEST_F(ApiModerationTest, GetPlayerInfoGivesTheDetailsText) {
  EXPECT_EQ(s.run("show(getPlayerInfo(7))"), "key-ann\n");
  EXPECT_EQ(s.run("show(getPlayerInfo(5))"), "Unknown\n");
  EXPECT_EQ(s.run("show(getPlayerInfo(9))"), "getPlayerInfo: No such player.\n\n");
  EXPECT_EQ(s.run("show(getPlayerInfo('x'))"), "getPlayerInfo: Invalid Argument #1.\n\n");
}

TEST_F(ApiModerationTest, WarnTempbanAndTheRecordsTheyLeave) {
  EXPECT_EQ(s.run("show(warnPlayer(5, 'spam'))"),
            "* script:" + actor + " warned Bob (1 active): spam\ntrue\n");
  EXPECT_EQ(s.run("local w = getWarnings('BOB')\n"
                  "show(#w, w[1].reason, w[1].actor == '" +
                  actor + "', w[1].expires - w[1].time)"),
            "1,spam,true,604800\n");
  EXPECT_EQ(s.run("show(#getWarnings('Ann'), getBan('bob'))"), "0,nil\n");
  s.harness().sent();

  std::string line = s.run("show(tempbanPlayer('7', 3600.9))");
  EXPECT_EQ(line.substr(0, line.find(" until ")), "* script:" + actor + " banned Ann for 1h,")
      << line;
  EXPECT_EQ(line.substr(line.size() - 9), "UTC\ntrue\n") << "no reason, none shown";
  EXPECT_TRUE(kicked(s.harness().sent(), 7));
  EXPECT_EQ(s.run("local b = getBan('ANN')\n"
                  "show(b.expires - b.since, b.reason, b.actor == '" +
                  actor + "')"),
            "3600,,true\n");
  EXPECT_EQ(s.run("show(unbanName('ann'))"),
            "* script:" + actor +
                " lifted 1 ban(s) on ann; a ban of the server's own must be lifted on the "
                "server\n1\n");
  EXPECT_EQ(s.run("show(getBan('Ann'))"), "nil\n");
}

TEST_F(ApiModerationTest, RefusalsAreOneLineAndNothingReturned) {
  const std::pair<const char*, const char*> cases[] = {
      {"warnPlayer(9, 'x')", "warnPlayer: no player has id 9"},
      {"warnPlayer(5, '')", "warnPlayer: a reason is needed"},
      {"warnPlayer(5)", "warnPlayer: Invalid Argument #2."},
      {"warnPlayer(0/0, 'x')", "warnPlayer: no player has that id"},
      {"tempbanPlayer(5, 0/0, 'x')", "tempbanPlayer: a ban lasts from 1s to 3650d"},
      {"tempbanPlayer(5, 1e300)", "tempbanPlayer: a ban lasts from 1s to 3650d"},
      {"tempbanPlayer(5, 0.5)", "tempbanPlayer: a ban lasts from 1s to 3650d"},
      {"tempbanPlayer(5, 'x')", "tempbanPlayer: Invalid Argument #2."},
      {"tempbanPlayer(5, 60, {})", "tempbanPlayer: Invalid Argument #3."},
      {"unbanName('')", "unbanName: a name is needed"},
      {"getBan(string.rep('a', 257))", "getBan: the name is too long"},
      {"getWarnings({})", "getWarnings: Invalid Argument #1."},
  };
  for (const auto& [call, refusal] : cases) {
    EXPECT_EQ(s.run(std::string("show(") + call + ")"), std::string(refusal) + "\n\n") << call;
  }
  EXPECT_TRUE(s.harness().sent().empty());
  EXPECT_TRUE(s.session().moderation()->sanctions().lastAudit(5).empty());
}

// A script's handler warns: the other handlers of the event go on, the
// script's own onPlayerSanctioned is not entered while it runs.
TEST(ApiModerationEventTest, AScriptActingInAHandlerIsNotEnteredAgain) {
  testing::SessionHarness h(
      "function chatted(id, text) warnPlayer(id, text) end\n"
      "function after(id, text) print('after ' .. id .. ' ' .. text) end\n"
      "function sanctioned(name) print('event ' .. name) end\n"
      "addEventHandler('onPlayerChat', 'chatted')\n"
      "addEventHandler('onPlayerChat', 'after')\n"
      "addEventHandler('onPlayerSanctioned', 'sanctioned')\n");
  h.connect();
  h.addPlayer(5, "Bob");
  h.output();
  h.deliver(testing::chatLine(5, 0, "spam"));
  EXPECT_EQ(h.output(), "Bob: spam\n* script:" + h.scriptPath() +
                            " warned Bob (1 active): spam\nafter 5 spam\n");
  // The console's action reaches the script.
  Actor op{Actor::Kind::kConsole, "Op", kOperatorLevel, std::nullopt};
  ASSERT_EQ(h.session().moderation()->kick(op, *h.session().players().find(5), ""), "");
  EXPECT_EQ(h.output(), "* console:Op kicked Bob\nevent Bob\n");
}

TEST(ApiModerationOffTest, EveryFunctionSaysModerationIsOffButGetPlayerInfoWorks) {
  testing::TempDir dir;
  testing::RecordingConsole* console = nullptr;
  testing::RecordingSink sink;
  ManualClock clock;
  SessionSettings settings;
  settings.moderation.enabled = false;
  settings.databasePath = dir.path() + "/script.db";
  SessionIo io;
  auto recording = std::make_unique<testing::RecordingConsole>();
  console = recording.get();
  io.console = std::move(recording);
  io.sink = &sink;
  io.scriptPaths = {};
  AdminSession session(settings, clock, std::move(io));
  ASSERT_EQ(session.moderation(), nullptr);
  session.players().add(5, "Bob").info = "key-bob";
  BareApiState state(&session);
  // print writes to the session's console.
  state.run("show(getPlayerInfo(5))");
  EXPECT_EQ(console->takeOutput(), "key-bob\n");
  for (const char* call : {"warnPlayer(5, 'x')", "tempbanPlayer(5, 60, 'x')", "unbanName('Bob')",
                           "getBan('Bob')", "getWarnings('Bob')"}) {
    state.run(std::string("show(") + call + ")");
    std::string name(call, std::string_view(call).find('('));
    EXPECT_EQ(console->takeOutput(), name + ": moderation is off (--no-moderation)\n\n") << call;
  }
  EXPECT_TRUE(sink.take().empty());
}

}  // namespace
}  // namespace gsadmin
