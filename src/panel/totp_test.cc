// One-time codes against the test vectors of RFC 4226 (HOTP) and RFC 6238
// (TOTP, SHA-1), the window of a step either side, and base32.

#include "panel/totp.h"

#include <gtest/gtest.h>

#include <string>

namespace gsadmin {
namespace {

// The ASCII secret "12345678901234567890" of both RFCs.
const std::string kKey = "12345678901234567890";

TEST(TotpTest, HotpMatchesTheTestVectorsOfRfc4226) {
  const char* expected[] = {"755224", "287082", "359152", "969429", "338314",
                            "254676", "287922", "162583", "399871", "520489"};
  for (uint64_t counter = 0; counter < 10; ++counter) {
    EXPECT_EQ(hotpCode(kKey, counter), expected[counter]) << counter;
  }
}

TEST(TotpTest, TotpMatchesTheSha1TestVectorsOfRfc6238) {
  const struct {
    int64_t time;
    const char* eightDigits;
  } cases[] = {
      {59, "94287082"},         {1111111109, "07081804"}, {1111111111, "14050471"},
      {1234567890, "89005924"}, {2000000000, "69279037"}, {20000000000, "65353130"},
  };
  for (const auto& c : cases) {
    uint64_t step = static_cast<uint64_t>(totpStep(c.time));
    EXPECT_EQ(hotpCode(kKey, step, 8), c.eightDigits) << c.time;
    // What the apps show: the same value's last six digits.
    std::string six = std::string(c.eightDigits).substr(2);
    EXPECT_EQ(hotpCode(kKey, step), six) << c.time;
    EXPECT_EQ(matchTotp(kKey, six, c.time), totpStep(c.time)) << c.time;
  }
}

TEST(TotpTest, ACodeIsTakenOneStepEitherSideAndNoFurther) {
  const int64_t now = 1111111111;  // step 37037037, 1 s into it
  const struct {
    int64_t codeTime;
    bool accepted;
  } cases[] = {
      {now - 32, false}, {now - 31, true}, {now - 1, true},  {now, true},
      {now + 29, true},  {now + 30, true}, {now + 58, true}, {now + 59, false},
  };
  for (const auto& c : cases) {
    std::string code = hotpCode(kKey, static_cast<uint64_t>(totpStep(c.codeTime)));
    std::optional<int64_t> step = matchTotp(kKey, code, now);
    EXPECT_EQ(step.has_value(), c.accepted) << c.codeTime - now;
    if (step) {
      EXPECT_EQ(*step, totpStep(c.codeTime));
    }
  }
  EXPECT_FALSE(matchTotp(kKey, "", now));
  EXPECT_FALSE(matchTotp(kKey, "0000000", now));
  EXPECT_FALSE(matchTotp(kKey, hotpCode(kKey, 37037037) + " ", now));
  EXPECT_EQ(matchTotp(kKey, hotpCode(kKey, 0), 10), 0) << "the first step has none before";
}

TEST(TotpTest, Base32FollowsRfc4648AndReadsWhatAppsShow) {
  const struct {
    const char* bytes;
    const char* text;
  } cases[] = {{"f", "MY"},         {"fo", "MZXQ"},        {"foo", "MZXW6"},
               {"foob", "MZXW6YQ"}, {"fooba", "MZXW6YTB"}, {"foobar", "MZXW6YTBOI"}};
  for (const auto& c : cases) {
    EXPECT_EQ(base32Encode(c.bytes), c.text);
    EXPECT_EQ(base32Decode(c.text).value_or("?"), c.bytes);
  }
  EXPECT_EQ(base32Decode("mzxw 6ytb oi======").value_or("?"), "foobar");
  EXPECT_EQ(base32Encode(kKey), "GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ");
  EXPECT_FALSE(base32Decode(""));
  EXPECT_FALSE(base32Decode("MZXW1"));  // 1 is not in the alphabet
  EXPECT_FALSE(base32Decode(std::string(104, 'A'))) << "65 bytes";
  EXPECT_EQ(base32Decode(std::string(103, 'A')).value_or("").size(), 64u);
}

TEST(TotpTest, NewSecretsDifferAndTheUriCarriesWhatTheAppsRead) {
  std::string secret = newTotpSecret();
  EXPECT_EQ(secret.size(), 32u);
  EXPECT_EQ(base32Decode(secret).value_or("").size(), kTotpSecretBytes);
  EXPECT_NE(secret, newTotpSecret());
  EXPECT_EQ(otpauthUri("gsadmin", "mia.b", "ABC"),
            "otpauth://totp/gsadmin:mia.b?secret=ABC&issuer=gsadmin&algorithm=SHA1&digits=6"
            "&period=30");
  EXPECT_EQ(otpauthUri("my server", "a&b", "ABC").substr(0, 40),
            "otpauth://totp/my%20server:a%26b?secret=");
}

}  // namespace
}  // namespace gsadmin
