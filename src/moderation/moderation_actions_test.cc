// The moderation's actions through a real session (in-memory transport,
// hand-driven clock, real SQLite file and a real script): what each sends,
// prints, records and fires, the warning thresholds, and bans enforced at
// join.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/durations.h"
#include "moderation/moderation.h"
#include "protocol/wire.h"
#include "sim/server_messages.h"
#include "support/session_harness.h"

namespace gsadmin {
namespace {

using testing::Datagram;
using testing::SessionHarness;

// A script that prints every onPlayerSanctioned it gets.
constexpr const char* kEventScript =
    "function sanctioned(name, kind, seconds, reason, actor)\n"
    "  print('event ' .. table.concat({name, kind, seconds, reason, actor}, ','))\n"
    "end\n"
    "addEventHandler('onPlayerSanctioned', 'sanctioned')\n";

const Actor kOperator{Actor::Kind::kConsole, "Op", kOperatorLevel, std::nullopt};

// The moderation's datagrams, readable: "msg TEXT" for a chat frame, "kick
// ID", "ban ID"; anything else (details requests) left out.
std::vector<std::string> described(const std::vector<Datagram>& datagrams) {
  std::vector<std::string> lines;
  for (const Datagram& d : datagrams) {
    if (d.size() >= 3 && d[0] == wire::kChatFrameId) {
      lines.push_back("chat " + std::string(d.begin() + 2, d.end() - 1));
    } else if (d.size() == 3 && d[0] == wire::kKickRequestId) {
      lines.push_back("kick " + std::to_string(d[1]));
    } else if (d.size() == 3 && d[0] == wire::kBanRequestId) {
      lines.push_back("ban " + std::to_string(d[1]));
    }
  }
  return lines;
}

// A connected session with Bob (5), Ann (7) and Spammer (3) on.
class ModerationActionsTest : public ::testing::Test {
 protected:
  ModerationActionsTest() : h(std::string(kEventScript)) {
    h.connect();
    join(5, "Bob");
    join(7, "Ann");
    join(3, "Spammer");
    h.sent();
    h.output();
  }

  // A join and its details reply, each player with details of its own.
  void join(uint8_t id, const std::string& name) {
    h.deliver(testing::playerJoined(id, name));
    h.deliver(testing::playerDetails(id, "key-" + std::to_string(id)));
  }

  Moderation& moderation() { return *h.session().moderation(); }
  // The player with `id` on the server, as the acts find them.
  const Player& at(uint8_t id) { return *h.session().players().find(id); }
  Person on(uint8_t id) { return Person{&at(id), at(id).name}; }
  int64_t now() { return h.clock().wallSeconds(); }

  SessionHarness h;
};

// One action: what it sends, prints, records and audits.
struct ActionCase {
  std::function<std::string(Moderation&)> action;
  std::vector<std::string> sent;
  std::string output;
  std::string recordedOn;
  std::string kind;
  std::string auditDetail;  // a tempban's with its length
};

TEST_F(ModerationActionsTest, EachActionSendsPrintsRecordsAndFires) {
  std::string in36h = formatUtcTime(now() + 129600);
  const ActionCase cases[] = {
      {[this](Moderation& m) { return m.warn(kOperator, on(5), " spam "); },
       {"chat /msg #5 Warning 1 of 3 before a kick: spam"},
       "* console:Op warned Bob (1 active): spam\nevent Bob,warn,0,spam,Op\n",
       "Bob",
       kSanctionWarn,
       "spam"},
      {[this](Moderation& m) { return m.kick(kOperator, at(7), ""); },
       {"chat /msg #7 Kicked: no reason given", "kick 7"},
       "* console:Op kicked Ann\nevent Ann,kick,0,,Op\n",
       "Ann",
       kSanctionKick,
       ""},
      {[this](Moderation& m) { return m.tempban(kOperator, on(5), 129600, "grief"); },
       {"chat /msg #5 You are banned (#3) until " + in36h + " (1d12h left): grief", "kick 5"},
       "* console:Op banned Bob for 1d12h, until " + in36h +
           ": grief\nevent Bob,tempban,129600,grief,Op\n",
       "Bob",
       kSanctionTempban,
       "1d12h: grief"},
      {[this](Moderation& m) { return m.ban(kOperator, on(7), "cheat"); },
       {"ban 7"},
       "* console:Op banned Ann: cheat\nevent Ann,ban,0,cheat,Op\n",
       "Ann",
       kSanctionBan,
       "cheat"},
      {[this](Moderation& m) { return m.unban(kOperator, "ANN") == 1 ? "" : "not lifted"; },
       {},
       "* console:Op lifted 1 ban(s) on ANN; a ban of the server's own must be lifted on the "
       "server\n"
       "event ANN,unban,0,,Op\n",
       "Ann",
       kSanctionUnban,
       ""},
  };
  for (const ActionCase& c : cases) {
    EXPECT_EQ(c.action(moderation()), "") << c.kind;
    EXPECT_EQ(described(h.sent()), c.sent) << c.kind;
    EXPECT_EQ(h.output(), c.output) << c.kind;
    std::vector<SanctionRecord> records = moderation().sanctions().sanctionsOf(c.recordedOn, 1);
    ASSERT_EQ(records.size(), 1u) << c.kind;
    EXPECT_EQ(records[0].kind, c.kind);
    EXPECT_EQ(records[0].actor, "Op");
    std::vector<AuditRecord> audit = moderation().sanctions().lastAudit(1);
    ASSERT_EQ(audit.size(), 1u) << c.kind;
    EXPECT_EQ(audit[0].action, c.kind);
    // The audit names the door; the record, which scripts read, the name.
    EXPECT_EQ(audit[0].actor, "console:Op") << c.kind;
    EXPECT_EQ(audit[0].sanction, records[0].id) << c.kind;  // the sanction's number
    EXPECT_EQ(audit[0].detail, c.auditDetail) << c.kind;
  }
  EXPECT_TRUE(moderation().sanctions().activeBan("bob", now()));
  EXPECT_FALSE(moderation().sanctions().activeBan("ann", now()));
  // Nothing to lift: the line says so, nothing is recorded or fired.
  EXPECT_EQ(moderation().unban(kOperator, "Nobody"), 0u);
  EXPECT_EQ(
      h.output(),
      "* console:Op lifted 0 ban(s) on Nobody; a ban of the server's own must be lifted on the "
      "server\n");
}

TEST_F(ModerationActionsTest, RefusalsDoNothing) {
  Actor moderator{Actor::Kind::kPlayer, "Mod", kModeratorLevel, 7};
  const std::pair<std::function<std::string(Moderation&)>, std::string> cases[] = {
      {[this](Moderation& m) { return m.warn(kOperator, on(5), " \t "); }, "a reason is needed"},
      {[this](Moderation& m) { return m.tempban(kOperator, on(5), 0, "x"); },
       "a ban lasts from 1s to 3650d"},
      {[this](Moderation& m) { return m.tempban(kOperator, on(5), kMaxDurationSeconds + 1, "x"); },
       "a ban lasts from 1s to 3650d"},
      {[this](Moderation& m) { return m.note(kOperator, "", "x"); }, "a name is needed"},
      {[this](Moderation& m) { return m.note(kOperator, "Bob", " "); }, "a note needs a text"},
      {[this](Moderation& m) { return m.addAdmin(kOperator, at(5), 4); },
       "the level must be 1, 2 or 3"},
      {[&](Moderation& m) { return m.addAdmin(moderator, at(5), 2); }, "you may not"},
      {[this](Moderation& m) { return m.removeAdmin(kOperator, "Nobody"); }, "Nobody is no admin"},
  };
  for (const auto& [action, refusal] : cases) {
    EXPECT_EQ(action(moderation()), refusal);
    EXPECT_TRUE(h.sent().empty()) << refusal;
    EXPECT_EQ(h.output(), "") << refusal;
  }
  EXPECT_TRUE(moderation().sanctions().lastAudit(10).empty());
}

TEST_F(ModerationActionsTest, AdminsOfAHigherLevelAreLeftAlone) {
  ASSERT_EQ(moderation().addAdmin(kOperator, at(7), kAdminLevel), "");
  EXPECT_EQ(h.output(), "* console:Op made Ann an admin of level 2\n");
  Actor moderator{Actor::Kind::kPlayer, "Bob", kModeratorLevel, 5};
  EXPECT_EQ(moderation().kick(moderator, at(7), "x"), "you may not");
  EXPECT_EQ(moderation().removeAdmin(moderator, "ann"), "you may not");
  EXPECT_TRUE(h.sent().empty());
  EXPECT_EQ(moderation().warn(moderator, on(3), "spam"), "");
  EXPECT_EQ(moderation().removeAdmin(kOperator, "ANN"), "");
  h.sent();
  EXPECT_EQ(h.output(),
            "* game:Bob warned Spammer (1 active): spam\nevent Spammer,warn,0,spam,Bob\n"
            "* console:Op removed the admin Ann\n");
  EXPECT_EQ(moderation().note(kOperator, "Bob", "fair player"), "");
  EXPECT_EQ(h.output(), "* console:Op noted on Bob: fair player\n");
  std::vector<AuditRecord> audit = moderation().sanctions().lastAudit(3);
  ASSERT_EQ(audit.size(), 3u);
  EXPECT_EQ(audit[0].action, "note");
  EXPECT_EQ(audit[1].action, "admin remove");
}

TEST_F(ModerationActionsTest, WarningsKickAtThreeAndBanAtFiveUntilTheyExpire) {
  for (int i = 1; i <= 2; ++i) ASSERT_EQ(moderation().warn(kOperator, on(3), "caps"), "");
  h.sent();
  h.output();
  ASSERT_EQ(moderation().warn(kOperator, on(3), "caps"), "");
  EXPECT_EQ(described(h.sent()),
            (std::vector<std::string>{"chat /msg #3 Warning 3 of 5 before a ban: caps",
                                      "chat /msg #3 Kicked: 3 warnings", "kick 3"}));
  EXPECT_EQ(h.output(),
            "* console:Op warned Spammer (3 active): caps\nevent Spammer,warn,0,caps,Op\n"
            "* console:Op kicked Spammer: 3 warnings\nevent Spammer,kick,0,3 warnings,Op\n");
  ASSERT_EQ(moderation().warn(kOperator, on(3), "caps"), "");
  h.sent();
  h.output();
  ASSERT_EQ(moderation().warn(kOperator, on(3), "caps"), "");
  std::string until = formatUtcTime(now() + 24 * 3600);
  EXPECT_EQ(
      described(h.sent()),
      (std::vector<std::string>{
          "chat /msg #3 Warning 5 of 5 before a ban: caps",
          "chat /msg #3 You are banned (#8) until " + until + " (1d left): 5 warnings", "kick 3"}));
  EXPECT_EQ(h.output(),
            "* console:Op warned Spammer (5 active): caps\nevent Spammer,warn,0,caps,Op\n"
            "* console:Op banned Spammer for 1d, until " +
                until + ": 5 warnings\nevent Spammer,tempban,86400,5 warnings,Op\n");
  // A week later every warning has expired: the count starts over.
  h.clock().advance(7 * 24 * 3600 * 1000ull);
  ASSERT_EQ(moderation().warn(kOperator, on(5), "spam"), "");
  ASSERT_EQ(moderation().warn(kOperator, on(3), "again"), "");
  EXPECT_NE(h.output().find("* console:Op warned Spammer (1 active): again\n"), std::string::npos);
}

TEST_F(ModerationActionsTest, ThresholdsFollowTheSettings) {
  ModerationSettings settings;
  settings.warnKick = 0;
  settings.warnBan = 2;
  settings.warnBanSeconds = 3600;
  Moderation strict(h.session(), settings);
  ASSERT_EQ(strict.open(), "");
  ASSERT_EQ(strict.warn(kOperator, on(5), "one"), "");
  EXPECT_EQ(described(h.sent()),
            std::vector<std::string>{"chat /msg #5 Warning 1 of 2 before a ban: one"});
  ASSERT_EQ(strict.warn(kOperator, on(5), "two"), "");
  std::vector<std::string> sent = described(h.sent());
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0], "chat /msg #5 Warning 2 of 2 before a ban: two");
  EXPECT_NE(sent[1].find("(1h left): 2 warnings"), std::string::npos) << sent[1];
  settings.warnBan = 0;
  settings.warnExpirySeconds = 0;  // warnings never expire, no threshold
  Moderation lenient(h.session(), settings);
  ASSERT_EQ(lenient.open(), "");
  ASSERT_EQ(lenient.warn(kOperator, on(7), "one"), "");
  EXPECT_EQ(described(h.sent()), std::vector<std::string>{"chat /msg #7 Warning 1: one"});
  EXPECT_FALSE(lenient.sanctions().activeWarnings("Ann", now()).at(0).until);
}

TEST_F(ModerationActionsTest, EachWarningNamesTheThresholdThatActsNext) {
  struct Case {
    int64_t warnKick, warnBan;
    std::vector<std::string> counts;  // of warnings 1, 2, ...
  };
  const Case cases[] = {
      {3,
       5,
       {"1 of 3 before a kick", "2 of 3 before a kick", "3 of 5 before a ban",
        "4 of 5 before a ban", "5 of 5 before a ban", "6"}},
      {2, 0, {"1 of 2 before a kick", "2 of 2 before a kick", "3"}},
      {4, 2, {"1 of 2 before a ban", "2 of 2 before a ban", "3"}},  // the ban acts first
  };
  for (const Case& c : cases) {
    ModerationSettings settings;
    settings.warnKick = c.warnKick;
    settings.warnBan = c.warnBan;
    Moderation moderation(h.session(), settings);
    ASSERT_EQ(moderation.open(), "");
    h.clock().advance(8 * 24 * 3600 * 1000ull);  // the warnings before have expired
    for (const std::string& count : c.counts) {
      ASSERT_EQ(moderation.warn(kOperator, on(5), "spam"), "");
      std::vector<std::string> sent = described(h.sent());
      ASSERT_FALSE(sent.empty());
      EXPECT_EQ(sent[0], "chat /msg #5 Warning " + count + ": spam")
          << c.warnKick << "/" << c.warnBan;
    }
  }
}

TEST_F(ModerationActionsTest, ABannedNameIsToldAndKickedAtJoinInAnyCase) {
  ASSERT_EQ(moderation().tempban(kOperator, on(5), 2 * 3600, "grief"), "");
  h.deliver(testing::playerLeft(wire::kQuitKicked, 5));
  h.sent();
  h.output();
  h.deliver(testing::playerJoined(9, "bOB"));
  std::string until = formatUtcTime(now() + 2 * 3600);
  EXPECT_EQ(
      described(h.sent()),
      (std::vector<std::string>{
          "chat /msg #9 You are banned (#1) until " + until + " (2h left): grief", "kick 9"}));
  EXPECT_EQ(h.output(), "bOB has joined the game (ID: 9)\n* bOB is banned until " + until +
                            " (grief): kicked\n");
  // Once a presence: the details reply does not kick again.
  h.deliver(testing::playerDetails(9, "key-bOB"));
  EXPECT_TRUE(described(h.sent()).empty());
  h.deliver(testing::playerLeft(wire::kQuitKicked, 9));
  // When the ban has ended the name comes in.
  h.clock().advance(2 * 3600 * 1000ull);
  h.sent();
  h.deliver(testing::playerJoined(9, "Bob"));
  EXPECT_TRUE(described(h.sent()).empty());
}

TEST_F(ModerationActionsTest, AnAliasOfABannedNameIsKickedWhenItsDetailsArrive) {
  ASSERT_EQ(moderation().ban(kOperator, on(7), ""), "");
  h.deliver(testing::playerLeft(wire::kQuitKicked, 7));
  h.sent();
  h.output();
  h.deliver(testing::playerJoined(8, "Anna"));
  EXPECT_TRUE(described(h.sent()).empty()) << "the name alone is not banned";
  h.deliver(testing::playerDetails(8, "key-7"));  // Ann's
  EXPECT_EQ(described(h.sent()),
            (std::vector<std::string>{
                "chat /msg #8 You are banned (#1) permanently: no reason given", "kick 8"}));
  EXPECT_EQ(h.output(),
            "Anna has joined the game (ID: 8)\n* Anna is banned as Ann permanently (no reason "
            "given): kicked\n");
  // Lifting the ban on the alias lifts it on the name.
  EXPECT_EQ(moderation().unban(kOperator, "anna"), 1u);
  EXPECT_FALSE(moderation().sanctions().activeBan("Ann", now()));
}

}  // namespace
}  // namespace gsadmin
