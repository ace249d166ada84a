// What a login's code decides once its password was right: one-time codes
// at the moment an injected clock gives, replays, recovery codes and the
// level from which a code is required.

#include "panel/second_factor.h"

#include <gtest/gtest.h>

#include "panel/totp.h"
#include "support/manual_clock.h"

namespace gsadmin {
namespace {

const std::string kHash = "$argon2id$v=19$m=19456,t=2,p=1$c2FsdHNhbHRzYWx0$aGFzaGhhc2hoYXNo";
const std::string kDecoy = "$argon2id$v=19$m=19456,t=2,p=1$ZGVjb3lkZWNveQ$ZGVjb3lkZWNveQ";
const std::string kSecret = "GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ";  // RFC 6238's key

PanelAccount account(const std::string& name, int level, bool enrolled) {
  PanelAccount made;
  made.name = name;
  made.level = level;
  made.hash = kHash;
  if (enrolled) {
    made.totpSecret = kSecret;
    made.recovery = {{3, kHash}};
  }
  return made;
}

std::string codeAt(int64_t unixSeconds) {
  return hotpCode(base32Decode(kSecret).value(), static_cast<uint64_t>(totpStep(unixSeconds)));
}

TEST(SecondFactorTest, ReadsTheCodeAtTheClocksMoment) {
  ManualClock clock;
  int64_t now = clock.wallSeconds();
  std::optional<PanelAccount> mia = account("mia", 1, true);
  SecondFactor factor = readSecondFactor(mia, codeAt(now - 30), now, kDecoy);
  EXPECT_TRUE(factor.enrolled);
  EXPECT_EQ(factor.step, totpStep(now - 30));
  EXPECT_FALSE(factor.recovery);
  clock.advance(61 * 1000);
  EXPECT_FALSE(readSecondFactor(mia, codeAt(now - 30), clock.wallSeconds(), kDecoy).step);

  const struct {
    std::optional<PanelAccount> account;
    const char* code;
    const std::string* hash;  // null: no recovery check
    bool real;
  } cases[] = {
      {mia, "3-abcd-efgh-2345", &kHash, true},
      {mia, "4-abcd-efgh-2345", &kDecoy, false},  // a slot without a code
      {account("bob", 1, false), "3-abcd-efgh-2345", &kDecoy, false},
      {std::nullopt, "3-abcd-efgh-2345", &kDecoy, false},
      {mia, "12345", nullptr, false},
      {mia, "", nullptr, false},
  };
  for (const auto& c : cases) {
    SecondFactor read = readSecondFactor(c.account, c.code, now, kDecoy);
    EXPECT_EQ(read.recovery.has_value(), c.hash != nullptr) << c.code;
    if (c.hash) {
      EXPECT_EQ(read.recoveryHash, *c.hash) << c.code;
    }
    EXPECT_EQ(read.realRecovery, c.real) << c.code;
    EXPECT_FALSE(read.step) << c.code;
  }
}

TEST(SecondFactorTest, VerdictsOfARightPassword) {
  const int64_t now = ManualClock().wallSeconds();
  const struct {
    const char* what;
    bool enrolled;
    int level;
    int requireLevel;
    std::string code;
    bool recoveryRight;
    FactorVerdict verdict;
  } cases[] = {
      {"no secret", false, 4, 0, "", false, FactorVerdict::kAdmit},
      {"a code ignored", false, 4, 0, "123456", false, FactorVerdict::kAdmit},
      {"below the level", false, 2, 3, "", false, FactorVerdict::kAdmit},
      {"at the level", false, 3, 3, "", false, FactorVerdict::kNeedsEnrolment},
      {"above it", false, 4, 3, codeAt(now), false, FactorVerdict::kNeedsEnrolment},
      {"the code", true, 1, 0, codeAt(now), false, FactorVerdict::kAdmit},
      {"the last step's", true, 1, 4, codeAt(now - 30), false, FactorVerdict::kAdmit},
      {"two steps old", true, 1, 0, codeAt(now - 60), false, FactorVerdict::kRefuse},
      {"no code", true, 1, 0, "", false, FactorVerdict::kRefuse},
      {"a wrong one", true, 1, 0, codeAt(now) == "000000" ? "000001" : "000000", false,
       FactorVerdict::kRefuse},
      {"a recovery code", true, 1, 0, "3-abcd-efgh-2345", true, FactorVerdict::kAdmit},
      {"a wrong recovery code", true, 1, 0, "3-abcd-efgh-2345", false, FactorVerdict::kRefuse},
      {"an unused slot", true, 1, 0, "5-abcd-efgh-2345", true, FactorVerdict::kRefuse},
  };
  for (const auto& c : cases) {
    AccountBook book;
    PanelAccount mia = account("mia", c.level, c.enrolled);
    book.replace({mia});
    SecondFactor factor = readSecondFactor(mia, c.code, now, kDecoy);
    std::string error;
    EXPECT_EQ(settleSecondFactor(book, mia, factor, c.recoveryRight, c.requireLevel, &error),
              c.verdict)
        << c.what;
    EXPECT_EQ(error, "") << c.what;
  }
}

TEST(SecondFactorTest, ACodeOrARecoveryCodeGetsInOnce) {
  const int64_t now = ManualClock().wallSeconds();
  AccountBook book;
  PanelAccount mia = account("mia", 1, true);
  book.replace({mia});
  std::string error;
  for (const std::string& code : {codeAt(now), std::string("3-abcd-efgh-2345")}) {
    SecondFactor factor = readSecondFactor(book.find("mia"), code, now, kDecoy);
    EXPECT_EQ(settleSecondFactor(book, mia, factor, true, 0, &error), FactorVerdict::kAdmit);
    factor = readSecondFactor(book.find("mia"), code, now, kDecoy);
    EXPECT_EQ(settleSecondFactor(book, mia, factor, true, 0, &error), FactorVerdict::kRefuse)
        << code << " again";
  }
  // The previous step's code, still in the window, is refused after the
  // current one: it could only be an old one seen over a shoulder.
  SecondFactor older = readSecondFactor(mia, codeAt(now - 30), now, kDecoy);
  EXPECT_EQ(settleSecondFactor(book, mia, older, false, 0, &error), FactorVerdict::kRefuse);
}

}  // namespace
}  // namespace gsadmin
