// Targets are people: an act aimed at an id checks, as it runs, that the id
// still means the player it was chosen by.

#include "commands/target.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "commands/commands.h"
#include "protocol/outbound.h"
#include "protocol/wire.h"
#include "support/session_harness.h"

namespace gsadmin {
namespace {

using testing::SessionHarness;

class TargetTest : public ::testing::Test {
 protected:
  TargetTest() {
    h_.connect();
    h_.addPlayer(3, "Bob");
    h_.sent();
    h_.output();
  }

  // Bob leaves id 3 and Eve takes it.
  void eveTakesBobsSlot() {
    h_.deliver(testing::playerLeft(wire::kQuitLeft, 3));
    h_.addPlayer(3, "Eve");
    h_.sent();
    h_.output();
  }

  Outcome kick(const Target& target) {
    ActRequest request;
    request.actor = Actor{Actor::Kind::kPanel, "mia", kAdminLevel, std::nullopt};
    request.target = target;
    return h_.session().commands().run(*findAct("kick"), kPanelDoor, request);
  }

  SessionHarness h_;
};

TEST_F(TargetTest, AnIdThatPassedToAnotherPlayerIsRefusedNamingBoth) {
  eveTakesBobsSlot();
  const struct {
    Target target;
    std::string refusal;  // empty: Eve is kicked
  } cases[] = {
      {{3, "Bob"}, "#3 is now Eve, not Bob: nothing done"},
      {{3, "EVE"}, ""},
      {{3, ""}, ""},  // an id alone acts on whoever holds it
      {{std::nullopt, "Bob"}, "Bob is not on the server"},
      {{4, ""}, "no player has id 4"},
      {{std::nullopt, std::string(65, 'x')}, "the name is too long"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(kick(c.target).refusal, c.refusal) << c.target.name;
    std::vector<testing::Datagram> sent = h_.sent();
    EXPECT_EQ(sent.empty(), !c.refusal.empty()) << c.target.name;
  }
}

TEST_F(TargetTest, AnIdTypedMeansWhoHeldItWhenTheLineWasBegun) {
  Actor op = Actor{Actor::Kind::kConsole, "Op", kOperatorLevel, std::nullopt};
  uint64_t begun = h_.session().players().mark();
  eveTakesBobsSlot();
  h_.session().handleTypedLine(".kick 3", op, begun);
  EXPECT_EQ(h_.output(), "* .kick: #3 is now Eve, not Bob: nothing done\n");
  EXPECT_TRUE(h_.sent().empty());
  // Begun after Eve came, the line means Eve.
  h_.session().handleTypedLine(".kick 3 spam", op, h_.session().players().mark());
  EXPECT_EQ(h_.output(), "* console:Op kicked Eve: spam\n");
  EXPECT_EQ(h_.sent().size(), 2u);  // the message and the kick
}

TEST_F(TargetTest, ANameNotOnTheServerIsSanctionedAndHeldAtTheNextJoin) {
  Actor op = Actor{Actor::Kind::kConsole, "Op", kOperatorLevel, std::nullopt};
  h_.session().handleTypedLine(".tempban Bob 1h flood", op);
  h_.deliver(testing::playerLeft(wire::kQuitLeft, 3));
  h_.session().handleTypedLine(".ban Zed cheat", op);
  std::string output = h_.output();
  EXPECT_NE(output.find("* console:Op banned Zed (never seen): cheat\n"), std::string::npos)
      << output;
  h_.sent();
  h_.deliver(testing::playerJoined(4, "zed"));
  std::vector<testing::Datagram> sent = h_.sent();
  EXPECT_NE(std::find(sent.begin(), sent.end(), buildKickRequest(4)), sent.end());
}

}  // namespace
}  // namespace gsadmin
