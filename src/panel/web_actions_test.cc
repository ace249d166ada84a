#include "panel/web_actions.h"

#include <gtest/gtest.h>

#include "moderation/actor.h"
#include "moderation/moderation.h"
#include "protocol/outbound.h"
#include "support/session_harness.h"

namespace gsadmin {
namespace {

using nlohmann::json;

TEST(WebActionsTest, ParsesEachKindAndRefusesWhatIsMissingOrMalformed) {
  const struct {
    std::string body;
    std::string error;  // empty: accepted
  } cases[] = {
      {R"({"action":"kick","player":3,"reason":"spam"})", ""},
      {R"({"action":"warn","player":3})", ""},
      {R"({"action":"message","player":3,"text":"hi"})", ""},
      {R"({"action":"slap","player":0})", ""},
      {R"({"action":"tempban","player":3,"duration":"1d"})", ""},
      {R"({"action":"tempban","player":3,"duration":86401})", ""},
      {R"({"action":"ban","player":3})", ""},
      {R"({"action":"unban","name":"Bob"})", ""},
      {R"({"action":"chat","text":"hello"})", ""},
      {R"({"action":"chat","text":"a/b"})", ""},
      {R"({"action":"chat","text":"/slap Bob"})", ""},
      {R"({"action":"chat","text":" \t /slap Bob"})", ""},
      {R"({"action":"command","line":".kick Bob"})", ""},
      {R"([1,2])", "an action needs \"action\""},
      {R"({"action":"nuke"})", "no action is named 'nuke'"},
      {R"({"action":"kick"})", "kick needs \"player\", a player's id"},
      {R"({"action":"kick","player":256})", "kick needs \"player\", a player's id"},
      {R"({"action":"kick","player":"3"})", "kick needs \"player\", a player's id"},
      {R"({"action":"tempban","player":3})", "tempban needs \"duration\""},
      {R"({"action":"tempban","player":3,"duration":"soon"})", "tempban needs \"duration\""},
      {R"({"action":"tempban","player":3,"duration":0})", "tempban needs \"duration\""},
      {R"({"action":"message","player":3})", "message needs a text"},
      {R"({"action":"chat","text":"two\nlines"})", "texts are single lines"},
      {R"({"action":"unban"})", "unban needs \"name\""},
  };
  for (const auto& c : cases) {
    std::string error;
    std::optional<WebAction> action = parseWebAction(json::parse(c.body), &error);
    if (c.error.empty()) {
      ASSERT_TRUE(action) << c.body << ": " << error;
    } else {
      EXPECT_FALSE(action) << c.body;
      EXPECT_EQ(error.substr(0, c.error.size()), c.error) << c.body;
    }
  }
  std::string error;
  std::string longText(1025, 'x');
  EXPECT_FALSE(parseWebAction(json{{"action", "chat"}, {"text", longText}}, &error));
}

WebAction actionOf(const std::string& body) {
  std::string error;
  return *parseWebAction(json::parse(body), &error);
}

TEST(WebActionsTest, RunsOnTheSessionAsTheAccountWithinItsLevel) {
  testing::SessionHarness h;
  h.connect();
  h.addPlayer(3, "Bob");
  h.sent();
  h.output();
  std::vector<std::string> typed;
  auto runTyped = [&typed](const std::string& line, const Actor& actor) {
    typed.push_back(line + " as " + actor.name);
  };
  WebLogin moderator{"t", "c", "mia", kModeratorLevel};
  WebLogin op{"t", "c", "oscar", kOperatorLevel};

  EXPECT_EQ(carryOutWebAction(h.session(), moderator, actionOf(R"({"action":"ban","player":3})"),
                              runTyped),
            "your level may not ban");
  EXPECT_EQ(carryOutWebAction(h.session(), moderator,
                              actionOf(R"({"action":"command","line":".quit"})"), runTyped),
            "your level may not command");
  EXPECT_EQ(carryOutWebAction(h.session(), moderator,
                              actionOf(R"({"action":"chat","text":" /slap Bob"})"), runTyped),
            "your level may not command: a chat text starting with / is a server command");
  EXPECT_EQ(carryOutWebAction(h.session(), moderator, actionOf(R"({"action":"slap","player":9})"),
                              runTyped),
            "no player has id 9");
  EXPECT_TRUE(h.sent().empty());
  EXPECT_TRUE(typed.empty());

  EXPECT_EQ(carryOutWebAction(h.session(), moderator,
                              actionOf(R"({"action":"message","player":3,"text":"hi"})"), runTyped),
            "");
  EXPECT_EQ(h.sent(), std::vector<testing::Datagram>{buildChatFrame("/msg #3 hi")});
  EXPECT_EQ(h.output(), "* panel:mia message Bob: hi\n");
  EXPECT_EQ(carryOutWebAction(h.session(), moderator,
                              actionOf(R"({"action":"chat","text":"hello all"})"), runTyped),
            "");
  EXPECT_EQ(h.sent(), std::vector<testing::Datagram>{buildChatFrame("hello all")});
  EXPECT_EQ(h.output(), "* panel:mia chat: hello all\n");
  EXPECT_EQ(carryOutWebAction(h.session(), op, actionOf(R"({"action":"chat","text":"/slap Bob"})"),
                              runTyped),
            "");
  EXPECT_EQ(h.sent(), std::vector<testing::Datagram>{buildChatFrame("/slap Bob")});
  EXPECT_EQ(h.output(), "* panel:oscar chat: /slap Bob\n");
  EXPECT_EQ(carryOutWebAction(h.session(), op,
                              actionOf(R"({"action":"command","line":".players"})"), runTyped),
            "");
  EXPECT_EQ(typed, std::vector<std::string>{".players as oscar"});
  EXPECT_EQ(h.output(), "* panel:oscar: .players\n");
}

TEST(WebActionsTest, ATypedModerationCommandIsTheAccountsInItsLineAndTheAudit) {
  testing::SessionHarness h;
  h.connect();
  h.addPlayer(3, "Bob");
  h.sent();
  h.output();
  auto runTyped = [&h](const std::string& line, const Actor& actor) {
    h.session().handleTypedLine(line, actor);
  };
  WebLogin op{"t", "c", "oscar", kOperatorLevel};

  EXPECT_EQ(
      carryOutWebAction(h.session(), op,
                        actionOf(R"({"action":"command","line":".kick Bob spam"})"), runTyped),
      "");
  EXPECT_EQ(h.output(), "* panel:oscar: .kick Bob spam\n* panel:oscar kicked Bob: spam\n");
  EXPECT_EQ(h.sent().back(), buildKickRequest(3));
  std::vector<AuditRecord> audit = h.session().moderation()->sanctions().lastAudit(2);
  ASSERT_EQ(audit.size(), 2u);
  EXPECT_EQ(audit[0].actor + " " + audit[0].action + " " + audit[0].target + ": " + audit[0].detail,
            "panel:oscar kick Bob: spam");
  EXPECT_EQ(audit[1].actor + " " + audit[1].action + ": " + audit[1].detail,
            "panel:oscar command: .kick Bob spam");

  // The operator's own line is still the console's, under the admin name.
  h.addPlayer(5, "Carol");
  h.output();
  h.session().handleTypedLine(".kick Carol");
  EXPECT_EQ(h.output(), "* console:" + h.session().settings().adminName + " kicked Carol\n");
}

TEST(WebActionsTest, NoAccountSlapsAHigherAdminInGame) {
  testing::SessionHarness h;
  h.connect();
  h.addPlayer(3, "Bob");
  Actor console{Actor::Kind::kConsole, "Op", kOperatorLevel, std::nullopt};
  ASSERT_EQ(
      h.session().moderation()->addAdmin(console, *h.session().players().find(3), kAdminLevel), "");
  h.sent();
  h.output();
  auto runTyped = [](const std::string&, const Actor&) {};
  WebAction slap = actionOf(R"({"action":"slap","player":3})");

  EXPECT_EQ(
      carryOutWebAction(h.session(), WebLogin{"t", "c", "mia", kModeratorLevel}, slap, runTyped),
      "you may not");
  EXPECT_TRUE(h.sent().empty());
  EXPECT_EQ(carryOutWebAction(h.session(), WebLogin{"t", "c", "ann", kAdminLevel}, slap, runTyped),
            "");
  EXPECT_EQ(h.sent(), std::vector<testing::Datagram>{buildChatFrame("/slap Bob")});
}

}  // namespace
}  // namespace gsadmin
