// The moderation commands on an in-memory session: what the operator's
// lines and the players' "!" lines print, send and answer.

#include "moderation/moderation_commands.h"

#include <gtest/gtest.h>

#include "protocol/outbound.h"
#include "protocol/wire.h"
#include "support/session_harness.h"

namespace gsadmin {
namespace {

using testing::Datagram;
using testing::SessionHarness;

static_assert(ModerationCommands::kMaxAnswer + std::string_view("/msg #255 ").size() ==
                  wire::kMaxChatText,
              "an answer in game fills a chat frame's text and no more");

const char kHint[] = "; .help lists the commands\n";
const char kDurations[] = "such as 30m, 2h, 7d or 1d12h (at most 10 years)";

Datagram message(int id, const std::string& text) {
  return buildChatFrame("/msg #" + std::to_string(id) + " " + text);
}

// A connected session with Alice (1), Bob (3), Bobby (5) and "Bob Smith"
// (7), each with details of their own.
class ModerationCommandsTest : public ::testing::Test {
 protected:
  ModerationCommandsTest() {
    harness_.connect();
    join(1, "Alice", "key-alice");
    join(3, "Bob", "key-bob");
    join(5, "Bobby", "key-bobby");
    join(7, "Bob Smith", "key-smith");
    harness_.sent();
    harness_.output();
  }

  void join(uint8_t id, const std::string& name, const std::string& details) {
    harness_.deliver(testing::playerJoined(id, name));
    harness_.deliver(testing::playerDetails(id, details));
  }

  // What typing `line` printed and sent.
  std::pair<std::string, std::vector<Datagram>> type(const std::string& line) {
    harness_.session().handleTypedLine(line);
    return {harness_.output(), harness_.sent()};
  }
  // What the player `id` saying `text` in public chat printed (after its
  // own chat line) and sent.
  std::pair<std::string, std::vector<Datagram>> say(uint8_t id, const std::string& text) {
    harness_.deliver(testing::chatLine(id, 1, text));
    std::string output = harness_.output();
    return {output.substr(output.find('\n') + 1), harness_.sent()};
  }

  struct Case {
    std::string line;
    std::string output;
    std::vector<Datagram> sent;
  };
  void expectTyped(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      auto [output, sent] = type(c.line);
      EXPECT_EQ(output, c.output) << c.line;
      EXPECT_EQ(sent, c.sent) << c.line;
    }
  }
  void expectSaid(uint8_t id, const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      auto [output, sent] = say(id, c.line);
      EXPECT_EQ(output, c.output) << c.line;
      EXPECT_EQ(sent, c.sent) << c.line;
    }
  }

  SessionHarness harness_;
};

TEST_F(ModerationCommandsTest, ArgumentsAreCheckedBeforeAnythingIsDone) {
  const std::string refuseTarget = "only starts the name of 5 Bobby; .warn takes an id or a whole";
  expectTyped({
      // PLAYER: the console's own diagnostics, byte for byte.
      {".warn", "* .warn needs a player" + std::string(kHint), {}},
      {".warn   ", "* .warn needs a player" + std::string(kHint), {}},
      {".warn BOBB spam", "* 'BOBB' " + refuseTarget + " name\n", {}},
      {".warn bo spam", "* 'bo' matches 3 players: 3 Bob, 5 Bobby, 7 Bob Smith\n", {}},
      {".warn zed spam", "* no player matches 'zed'" + std::string(kHint), {}},
      {".warn 9 spam", "* .warn: no player has id 9\n", {}},
      {".kick 256", "* no player matches '256'" + std::string(kHint), {}},
      // The longest start that names a player is the player.
      {".warn Bob", "* .warn: a reason is needed\n", {}},
      {".warn bob smith", "* .warn: a reason is needed\n", {}},
      {".tempban Bob Smith",
       "* .tempban: a duration is needed, " + std::string(kDurations) + "\n",
       {}},
      {".tempban bob 3x spam",
       "* .tempban: '3x' is not a duration " + std::string(kDurations) + "\n",
       {}},
      {".tempban 3 11y",
       "* .tempban: '11y' is not a duration " + std::string(kDurations) + "\n",
       {}},
      {".tempban 3 522w",
       "* .tempban: '522w' is not a duration " + std::string(kDurations) + "\n",
       {}},
      // Names, counts and the admin words.
      {".unban", "* .unban: a name is needed\n", {}},
      {".note", "* .note: a name and a text are needed\n", {}},
      {".note Zed", "* .note: a name and a text are needed\n", {}},
      {".seen  ", "* .seen: a name is needed\n", {}},
      {".history", "* .history: a name is needed\n", {}},
      {".history Zed x", "* .history: N is a number from 1 to 100\n", {}},
      {".history Zed 101", "* .history: N is a number from 1 to 100\n", {}},
      {".audit 0", "* .audit: N is a number from 1 to 200\n", {}},
      {".audit 99999999999999999999", "* .audit: N is a number from 1 to 200\n", {}},
      {".admin", "* .admin: add PLAYER LEVEL, or remove NAME\n", {}},
      {".admin promote Bob", "* .admin: add PLAYER LEVEL, or remove NAME\n", {}},
      {".admin remove ", "* .admin: a name is needed\n", {}},
      {".admin add Bob", "* .admin: LEVEL is 1 (moderator), 2 (admin) or 3 (senior)\n", {}},
      {".admin add Bob Smith 4", "* .admin: LEVEL is 1 (moderator), 2 (admin) or 3 (senior)\n", {}},
      {".admin add bo 1", "* 'bo' matches 3 players: 3 Bob, 5 Bobby, 7 Bob Smith\n", {}},
  });
}

TEST_F(ModerationCommandsTest, ListingsSayWhenThereIsNothing) {
  expectTyped({
      {".bans", "* no active bans\n", {}},
      {".admins", "* no admins in game\n", {}},
      {".seen Nobody Here", "* nothing is known of Nobody Here\n", {}},
      {".history Nobody 5", "* nothing is known of Nobody\n", {}},
      {".unban Zed",
       "* Admin lifted 0 ban(s) on Zed; a ban of the server's own must be lifted on the server\n",
       {}},
  });
}

TEST_F(ModerationCommandsTest, PlayersWithoutALevelMayNotAndAreOtherwiseLeftAlone) {
  const std::string mayNot = ": you may not";
  expectSaid(3, {
                    {"!kick Bobby", "", {message(3, "!kick" + mayNot)}},
                    {"!WARN Bobby spam", "", {message(3, "!warn" + mayNot)}},
                    {"!tempban Bobby 1d", "", {message(3, "!tempban" + mayNot)}},
                    {"!ban Bobby", "", {message(3, "!ban" + mayNot)}},
                    {"!unban Zed", "", {message(3, "!unban" + mayNot)}},
                    {"!admin add Bob 3", "", {message(3, "!admin" + mayNot)}},
                    // Scripts answer these for everyone.
                    {"!help", "", {}},
                    {"!seen Alice", "", {}},
                    {"!admins", "", {}},
                    {"!", "", {}},
                    {"!bans", "", {}},
                    {"!note Alice hi", "", {}},
                });
  // In a private message too.
  harness_.deliver(testing::chatLine(3, 1, "/msg Admin !kick Bobby"));
  EXPECT_EQ(harness_.sent(), std::vector<Datagram>{message(3, "!kick" + mayNot)});
}

}  // namespace
}  // namespace gsadmin
