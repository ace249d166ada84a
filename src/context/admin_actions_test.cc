// The admin actions on an in-memory session: the line each prints and the
// datagram it sends, for a player the session holds and for one it does not.

#include "context/admin_actions.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "protocol/outbound.h"
#include "support/session_harness.h"

namespace gsadmin {
namespace {

using testing::Datagram;
using testing::SessionHarness;

// The two text actions in the shape of the player actions. The texts hold
// a NUL, where a chat frame's text ends, and a format that stays text.
void chat(SessionContext& session, admin::PlayerId) {
  admin::sendChat(session, std::string_view("100%s a\0b", 9));
}

void message(SessionContext& session, admin::PlayerId playerId) {
  admin::sendMessage(session, playerId, std::string_view("hi %n\0x", 7));
}

TEST(AdminActionsTest, EachActionSendsForAKnownPlayerAndRefusesAnyOther) {
  SessionHarness harness;  // started, not logged in: actions do not wait
  harness.session().players().add(5, "Bob");
  harness.session().players().add(7, "%s%n");
  harness.output();
  const struct {
    admin::PlayerAction action;
    admin::PlayerId playerId;
    std::string line;
    std::vector<Datagram> sent;
  } cases[] = {
      {chat, std::nullopt, "", {buildChatFrame("100%s a")}},
      {message, 5, "", {buildChatFrame("/msg #5 hi %n")}},
      {message, 9, "sendMessage: No such player.\n", {}},
      {message, std::nullopt, "sendMessage: No such player.\n", {}},
      {admin::slapPlayer, 5, "", {buildChatFrame("/slap Bob")}},
      {admin::slapPlayer, 7, "", {buildChatFrame("/slap %s%n")}},
      {admin::slapPlayer, 9, "slapPlayer: No such player.\n", {}},
      {admin::kickPlayer, 5, "", {buildKickRequest(5)}},
      {admin::kickPlayer, 9, "kickPlayer: No such player.\n", {}},
      {admin::kickPlayer, std::nullopt, "kickPlayer: No such player.\n", {}},
      {admin::banPlayer, 5, "", {buildBanRequest(5)}},
      {admin::banPlayer, 9, "banPlayer: No such player.\n", {}},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    cases[i].action(harness.session(), cases[i].playerId);
    EXPECT_EQ(harness.output(), cases[i].line) << "case " << i;
    EXPECT_EQ(harness.sent(), cases[i].sent) << "case " << i;
  }
  // Kicked and banned players stay until the server says they left.
  EXPECT_NE(harness.session().players().find(5), nullptr);
}

}  // namespace
}  // namespace gsadmin
