// Banned players' appeals on an in-memory session: filed as the public
// listener files them, listed with ".appeals", rejected with a reply and
// accepted with ".appeal accept", which lifts the ban through the unban
// act; what they print, audit and refuse.

#include <gtest/gtest.h>

#include "moderation/moderation.h"
#include "support/session_harness.h"

namespace gsadmin {
namespace {

using testing::SessionHarness;

class AppealCommandsTest : public ::testing::Test {
 protected:
  AppealCommandsTest() {
    harness_.connect();
    type(".tempban Troll 1d cheating");
    type(".tempban Mallory 2h spam");
  }

  std::string type(const std::string& line) {
    harness_.session().handleTypedLine(line);
    harness_.sent();
    return harness_.output();
  }
  Moderation& moderation() { return *harness_.session().moderation(); }
  // Files an appeal of `ban` by `name`; the refusal, or "" with the number
  // in *number.
  std::string file(int64_t ban, const std::string& name, const std::string& text,
                   const std::string& token, int64_t* number = nullptr) {
    int64_t filed = 0;
    std::string refusal = moderation().fileAppeal(ban, name, text, appealTokenHash(token), &filed);
    if (number) *number = filed;
    return refusal;
  }

  SessionHarness harness_;
};

TEST_F(AppealCommandsTest, AppealsAreRefusedUnlessTheyNameAHeldBanAndItsName) {
  struct Case {
    int64_t ban;
    std::string name;
    std::string refusal;
  };
  const Case cases[] = {
      {1, "Mallory", "there is no ban #1 on that name"},
      {9, "Troll", "there is no ban #9 on that name"},
      {1, "tROLL", ""},
      {1, "Troll", "ban #1 has an appeal open already"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(file(c.ban, c.name, "please", "t-" + c.name + std::to_string(c.ban)), c.refusal)
        << c.ban << " " << c.name;
  }
  type(".unban Mallory");
  EXPECT_EQ(file(2, "Mallory", "please", "t-m"), "ban #2 no longer holds");
}

TEST_F(AppealCommandsTest, AnAppealIsListedRejectedOrAcceptedAndAudited) {
  int64_t number = 0;
  ASSERT_EQ(file(1, "Troll", "I was not\ncheating", "token-1", &number), "");
  EXPECT_EQ(number, 1);
  EXPECT_NE(harness_.output().find("* Appeal #1 of ban #1 by Troll\n"), std::string::npos);
  ASSERT_EQ(file(2, "Mallory", "sorry", "token-2"), "");
  harness_.output();
  std::string listed = type(".appeals");
  EXPECT_NE(listed.find("* #1 ban #1 Troll, "), std::string::npos) << listed;
  EXPECT_NE(listed.find(" UTC: I was not?cheating\n* #2 ban #2 Mallory, "), std::string::npos)
      << listed;

  EXPECT_EQ(type(".appeal reject 2"), "* .appeal reject: a rejection needs a reply\n");
  EXPECT_EQ(type(".appeal reject 2 seen on video"),
            "* console:Admin rejected appeal #2 of ban #2 on Mallory: seen on video\n");
  EXPECT_EQ(type(".appeal accept 2"), "* .appeal accept: appeal #2 is rejected already\n");
  EXPECT_EQ(type(".appeal accept 7"), "* .appeal accept: there is no appeal #7\n");
  std::string accepted = type(".appeal accept #1 fair enough");
  EXPECT_NE(accepted.find("* console:Admin lifted 1 ban(s) on Troll"), std::string::npos)
      << accepted;
  EXPECT_NE(accepted.find("* console:Admin accepted appeal #1 of ban #1 on Troll: fair enough\n"),
            std::string::npos)
      << accepted;
  int64_t now = moderation().now();
  EXPECT_FALSE(moderation().sanctions().activeBan("Troll", now));
  EXPECT_TRUE(moderation().sanctions().activeBan("Mallory", now));
  EXPECT_EQ(type(".appeals"), "* no open appeals\n");

  std::vector<AuditRecord> audit = moderation().sanctions().lastAudit(3);
  ASSERT_EQ(audit.size(), 3u);
  EXPECT_EQ(audit[0].action, "appeal accept");
  EXPECT_EQ(audit[0].detail, "#1: fair enough");
  EXPECT_EQ(audit[0].sanction, 1);
  EXPECT_EQ(audit[1].action, "unban");
  EXPECT_EQ(audit[1].detail, "appeal #1");
  EXPECT_EQ(audit[2].action, "appeal reject");
  EXPECT_EQ(audit[2].sanction, 2);

  bool failed = true;
  std::optional<AppealStatus> status =
      readAppealStatus(moderation().store().database(), appealTokenHash("token-1"), &failed);
  EXPECT_FALSE(failed);
  ASSERT_TRUE(status);
  EXPECT_EQ(status->state, "accepted");
  EXPECT_EQ(status->reply, "fair enough");
  EXPECT_EQ(status->sanction, 1);
  EXPECT_FALSE(
      readAppealStatus(moderation().store().database(), appealTokenHash("token-3"), &failed));
  EXPECT_FALSE(failed);
}

TEST(AppealTextTest, TokensAreKeptAsTheirHashAndTextsCountedInCharacters) {
  EXPECT_EQ(appealTokenHash("abc"),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(characterCount(""), 0u);
  EXPECT_EQ(characterCount("abc"), 3u);
  EXPECT_EQ(characterCount("\xc3\xa9t\xc3\xa9"), 3u);
  EXPECT_EQ(characterCount("\xf0\x9f\x98\x80"), 1u);
  EXPECT_EQ(characterCount("\xff\xfe"), 2u);
}

}  // namespace
}  // namespace gsadmin
