// The moderation commands on an in-memory session: what the operator's
// lines and the players' "!" lines print, send and answer.

#include "commands/commands.h"

#include <gtest/gtest.h>

#include "protocol/outbound.h"
#include "protocol/wire.h"
#include "support/session_harness.h"

namespace gsadmin {
namespace {

using testing::Datagram;
using testing::SessionHarness;

static_assert(Commands::kMaxAnswer + std::string_view("/msg #255 ").size() == wire::kMaxChatText,
              "an answer in game fills a chat frame's text and no more");

const char kHint[] = "; .help lists the commands\n";
const char kDurations[] = "such as 30m, 2h, 7d or 1d12h (at most 10 years)";

Datagram message(int id, const std::string& text) {
  return buildChatFrame("/msg #" + std::to_string(id) + " " + text);
}

// A connected session with Alice (1), Bob (3), Bobby (5) and "Bob Smith"
// (7), each with details of their own.
class CommandsTest : public ::testing::Test {
 protected:
  CommandsTest() {
    harness_.connect();
    join(1, "Alice", "key-a1");
    join(3, "Bob", "key-b3");
    join(5, "Bobby", "key-b5");
    join(7, "Bob Smith", "key-s7");
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

  // In memory: nothing is sent anywhere. The server's name shows in .seen
  // and .history.
  SessionHarness harness_{
      std::nullopt, defaults::kAdminName, defaults::kAdminPassword, testing::Transport::kInMemory,
      [](SessionSettings& settings) { settings.moderation.serverName = "Arena"; }};
};

TEST_F(CommandsTest, ArgumentsAreCheckedBeforeAnythingIsDone) {
  const std::string refuseTarget = "only starts the name of 5 Bobby; .warn takes an id or a whole";
  expectTyped({
      // PLAYER: the console's own diagnostics, byte for byte.
      {".warn", "* .warn needs a player" + std::string(kHint), {}},
      {".warn   ", "* .warn needs a player" + std::string(kHint), {}},
      {".warn BOBB spam", "* 'BOBB' " + refuseTarget + " name\n", {}},
      {".warn bo spam", "* 'bo' matches 3 players: 3 Bob, 5 Bobby, 7 Bob Smith\n", {}},
      {".warn zed spam", "* console:Admin warned zed (never seen) (1 active): spam\n", {}},
      {".warn 9 spam", "* .warn: no player has id 9\n", {}},
      {".kick 256", "* no player matches '256'" + std::string(kHint), {}},
      // A long line of many words costs no more than its names can.
      {".warn " + std::string(30000, 'x') + " " + std::string(30000, ' ') + "x",
       "* .warn: the name is too long\n",
       {}},
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
      {".note", "* .note: a name is needed\n", {}},
      {".note Zed", "* .note: a name and a text are needed\n", {}},
      {".seen  ", "* .seen: a name is needed\n", {}},
      {".history", "* .history: a name is needed\n", {}},
      {".history Zed x", "* .history: N is a number from 1 to 100\n", {}},
      {".history Zed 101", "* .history: N is a number from 1 to 100\n", {}},
      {".audit 0", "* .audit: N is a number from 1 to 200\n", {}},
      {".audit 99999999999999999999", "* .audit: N is a number from 1 to 200\n", {}},
      {".admin", "* .admin: add PLAYER LEVEL, or remove NAME\n", {}},
      {".admin promote Bob", "* .admin: add PLAYER LEVEL, or remove NAME\n", {}},
      {".admin remove ", "* .admin remove: a name is needed\n", {}},
      {".admin add Bob", "* .admin add: LEVEL is 1 (moderator), 2 (admin) or 3 (senior)\n", {}},
      {".admin add Bob Smith 4",
       "* .admin add: LEVEL is 1 (moderator), 2 (admin) or 3 (senior)\n",
       {}},
      {".admin add bo 1", "* 'bo' matches 3 players: 3 Bob, 5 Bobby, 7 Bob Smith\n", {}},
  });
}

TEST_F(CommandsTest, ListingsSayWhenThereIsNothing) {
  expectTyped({
      {".bans", "* no active bans\n", {}},
      {".admins", "* no admins in game\n", {}},
      {".seen Nobody Here", "* nothing is known of Nobody Here\n", {}},
      {".history Nobody 5", "* nothing is known of Nobody\n", {}},
      {".unban Zed",
       "* console:Admin lifted 0 ban(s) on Zed; a ban of the server's own must be lifted on the "
       "server\n",
       {}},
  });
}

TEST_F(CommandsTest, PlayersWithoutALevelMayNotAndAreOtherwiseLeftAlone) {
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

TEST_F(CommandsTest, ListingsShowWhatWasRecorded) {
  harness_.deliver(testing::chatLine(3, 1, "hello all"));
  harness_.deliver(testing::chatLine(3, 1, "/msg Alice hi there"));
  harness_.clock().advance(60000);
  type(".warn Bob spam");
  type(".tempban Bob Smith 2h flood");
  type(".admin add Bob 2");
  harness_.output();
  expectTyped({
      // NAME may hold blanks: the longest start that names a recorded player.
      {".note bob smith is a regular", "* console:Admin noted on bob smith: is a regular\n", {}},
      {".bans", "* #2 Bob Smith, until 2026-12-08 14:01 UTC (2h left), by Admin: flood\n", {}},
      {".seen BOB",
       "* Bob: last seen 2026-12-08 12:00 UTC (1m ago) on Arena, online now as 3\n"
       "* visits 1, time played 1m, kills 0, deaths 0, first seen 2026-12-08 12:00 UTC\n",
       {}},
      {".history bob 1",
       "* Bob: 1 sanction, 0 notes, the last 1 chat line\n"
       "* #1 2026-12-08 12:01 UTC warn by Admin on Arena: spam\n"
       "* 2026-12-08 12:00 UTC to Alice on Arena: hi there\n",
       {}},
      {".history Bob Smith",
       "* Bob Smith: 1 sanction, 1 note, the last 0 chat lines\n"
       "* #2 2026-12-08 12:01 UTC tempban 2h by Admin on Arena: flood\n"
       "* 2026-12-08 12:01 UTC note by Admin: is a regular\n",
       {}},
      {".audit 2",
       "* 2026-12-08 12:01 UTC console:Admin note bob smith on Arena: is a regular\n"
       "* 2026-12-08 12:01 UTC console:Admin admin add Bob on Arena: 2\n",
       {}},
      {".admins",
       "* Bob: level 2 (admin), details 'key-b3', added by Admin on 2026-12-08 12:01 UTC\n",
       {}},
      // Each run of blanks is one place to split, however long.
      {".note bob smith" + std::string(60000, ' ') + "was here",
       "* console:Admin noted on bob smith: was here\n",
       {}},
  });
}

// Alice is a moderator, Bobby an admin; each acts within the level.
TEST_F(CommandsTest, AdminsInGameActWithinTheirLevel) {
  expectTyped({
      {".admin add Alice 1", "* console:Admin made Alice an admin of level 1\n", {}},
      {".admin add bobby 2", "* console:Admin made Bobby an admin of level 2\n", {}},
  });
  const std::string added = ", added by Admin on 2026-12-08 12:00 UTC";
  expectSaid(1, {
                    {"!help",
                     "",
                     {message(1, "!help [WORD]"), message(1, "!warn PLAYER REASON"),
                      message(1, "!kick PLAYER [REASON]"),
                      message(1, "!tempban PLAYER DURATION [REASON]"), message(1, "!seen NAME"),
                      message(1, "!admins"), message(1, "!report PLAYER REASON")}},
                    {"!admins",
                     "",
                     {message(1, "Alice: level 1 (moderator)" + added),
                      message(1, "Bobby: level 2 (admin)" + added)}},
                    {"!kick", "", {message(1, "!kick: a player is needed")}},
                    {"!kick bo",
                     "",
                     {message(1, "!kick: 'bo' matches 3 players: 3 Bob, 5 Bobby, 7 Bob Smith")}},
                    {"!kick BOBB",
                     "",
                     {message(1,
                              "!kick: 'BOBB' only starts the name of 5 Bobby; !kick takes an "
                              "id or a whole name")}},
                    {"!kick 9", "", {message(1, "!kick: no player has id 9")}},
                    {"!warn bob", "", {message(1, "!warn: a reason is needed")}},
                    // A moderator: a day at most, no ban, no admins, no higher admin.
                    {"!tempban Bob 1d1s spam",
                     "",
                     {message(1, "!tempban: you may not ban for more than 1d")}},
                    {"!ban Bob", "", {message(1, "!ban: you may not")}},
                    {"!unban Bob", "", {message(1, "!unban: you may not")}},
                    {"!admin add Bob 1", "", {message(1, "!admin: you may not")}},
                    {"!kick Bobby", "", {message(1, "!kick: you may not")}},
                    {"!warn Bob Smith spam",
                     "* game:Alice warned Bob Smith (1 active): spam\n",
                     {message(7, "Warning 1 of 3 before a kick: spam"), message(1, "!warn: done")}},
                    {"!tempban bob 1d spam",
                     "* game:Alice banned Bob for 1d, until 2026-12-09 12:00 UTC: spam\n",
                     {message(3, "You are banned (#2) until 2026-12-09 12:00 UTC (1d left): spam"),
                      buildKickRequest(3), message(1, "!tempban: done")}},
                });
  // An admin, in a private message to the client.
  harness_.deliver(testing::chatLine(5, 1, "/msg Admin !ban Bob Smith cheating"));
  EXPECT_EQ(harness_.output(),
            "Bobby to Admin: !ban Bob Smith cheating\n* game:Bobby banned Bob Smith: cheating\n");
  EXPECT_EQ(harness_.sent(), (std::vector<Datagram>{buildBanRequest(7), message(5, "!ban: done")}));
  expectSaid(5, {
                    {"!unban BOB",
                     "* game:Bobby lifted 1 ban(s) on BOB; a ban of the server's own must be "
                     "lifted on the server\n",
                     {message(5, "!unban: lifted 1 ban(s) on BOB")}},
                    {"!tempban Alice 2w",
                     "* game:Bobby banned Alice for 14d, until 2026-12-22 12:00 UTC\n",
                     {message(1,
                              "You are banned (#5) until 2026-12-22 12:00 UTC (14d left): no "
                              "reason given"),
                      buildKickRequest(1), message(5, "!tempban: done")}},
                });
}

// An admin is bound to the name and the details the server gave: another
// player of that name is nobody.
TEST_F(CommandsTest, AnImpostorWithAnAdminsNameMayNot) {
  type(".admin add Alice 3");
  harness_.deliver(testing::playerLeft(0, 1));
  join(9, "ALICE", "key-mallory");
  harness_.output();
  harness_.sent();
  expectSaid(9, {
                    {"!kick Bob", "", {message(9, "!kick: you may not")}},
                    {"!admin add ALICE 3", "", {message(9, "!admin: you may not")}},
                    {"!admins", "", {}},
                });
  // The admin, back with the details of before, may.
  harness_.deliver(testing::playerLeft(0, 9));
  join(1, "Alice", "key-a1");
  harness_.output();
  harness_.sent();
  EXPECT_EQ(say(1, "!kick Bob").second,
            (std::vector<Datagram>{message(3, "Kicked: no reason given"), buildKickRequest(3),
                                   message(1, "!kick: done")}));
  // A senior makes and removes admins.
  expectSaid(1, {
                    {"!admin add Bob Smith 1",
                     "* game:Alice made Bob Smith an admin of level 1\n",
                     {message(1, "!admin add: done")}},
                    {"!admin remove bob smith",
                     "* game:Alice removed the admin Bob Smith\n",
                     {message(1, "!admin remove: done")}},
                    {"!admin remove Zed", "", {message(1, "!admin remove: Zed is no admin")}},
                    {"!admin", "", {message(1, "!admin: add PLAYER LEVEL, or remove NAME")}},
                });
}

TEST_F(CommandsTest, AdminsNeedDetailsThatTellPlayersApart) {
  const std::string none =
      "* .admin add: the server gives no details to tell this player from another of the same "
      "name; --trust-names allows it\n";
  const std::string named =
      "* .admin add: the server's details hold the player's name, which anyone may take; "
      "--trust-names allows it\n";
  const std::string changing =
      "* .admin add: the server's details change while the player is on (ping, health), so they "
      "tell nobody apart; --trust-names allows it\n";
  join(11, "Nemo", "Unknown");
  join(12, "Zed", "Zed ping 40 ms, health 100.0");
  join(13, "Kay", "ping 40 ms, health 100.0");
  harness_.deliver(testing::playerDetails(13, "ping 52 ms, health 100.0"));
  join(14, "Max", "id 7; ZED; MAX");
  join(15, "Ugo", "key-u");
  harness_.deliver(testing::playerDetails(15, "key-u"));  // asked again, the same
  // A new visit under the id starts afresh.
  join(16, "Ida", "key-1");
  harness_.deliver(testing::playerDetails(16, "key-2"));
  join(16, "Ida", "key-3");
  harness_.output();
  harness_.sent();
  expectTyped({
      {".admin add Nemo 1", none, {}},
      {".admin add Zed 1", named, {}},
      {".admin add Kay 1", changing, {}},
      {".admin add Max 1", named, {}},
      {".admin add Ugo 1", "* console:Admin made Ugo an admin of level 1\n", {}},
      {".admin add Ida 1", "* console:Admin made Ida an admin of level 1\n", {}},
  });
}

// An answer in game longer than a chat frame holds is cut, whole
// characters only.
TEST_F(CommandsTest, LongAnswersInGameAreCutToAFrame) {
  type(".admin add Alice 1");
  std::string name = "\xC3\xA9" + std::string(600, 'x');
  std::string answer = "nothing is known of " + name;
  auto [output, sent] = say(1, "!seen " + name);
  ASSERT_EQ(sent.size(), 1u);
  // The chat line itself arrives cut to 511 bytes.
  std::string expected = std::string("nothing is known of ") + "\xC3\xA9" +
                         std::string(wire::kMaxChatText - 6 - 2, 'x');
  expected.resize(Commands::kMaxAnswer);
  EXPECT_EQ(sent[0], message(1, expected));
}

}  // namespace
}  // namespace gsadmin
