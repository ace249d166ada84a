// Recovery codes: their shape, their slot, and what a login may type.

#include "panel/recovery_codes.h"

#include <gtest/gtest.h>

#include <set>

namespace gsadmin {
namespace {

TEST(RecoveryCodesTest, TenFreshCodesOneASlotEachReadBack) {
  std::vector<std::string> codes = newRecoveryCodes();
  ASSERT_EQ(codes.size(), 10u);
  std::set<std::string> seen;
  for (int slot = 0; slot < 10; ++slot) {
    const std::string& code = codes[static_cast<size_t>(slot)];
    EXPECT_EQ(code.size(), 16u) << code;
    EXPECT_EQ(code[0], '0' + slot);
    EXPECT_EQ(code[1], '-');
    std::optional<RecoveryCode> parsed = parseRecoveryCode(code);
    ASSERT_TRUE(parsed) << code;
    EXPECT_EQ(parsed->slot, slot);
    EXPECT_EQ(parsed->canonical.size(), 13u);
    seen.insert(parsed->canonical.substr(1));
  }
  EXPECT_EQ(seen.size(), 10u);
  EXPECT_NE(newRecoveryCodes(), codes);
}

TEST(RecoveryCodesTest, TypedCodesAreReadInAnyCaseWithOrWithoutDashes) {
  const struct {
    const char* typed;
    const char* canonical;  // null: not a recovery code
  } cases[] = {
      {"3-abcd-efgh-2345", "3abcdefgh2345"},
      {"3ABCDEFGH2345", "3abcdefgh2345"},
      {" 3 abcd efgh 2345 ", "3abcdefgh2345"},
      {"123456", nullptr},             // a one-time code
      {"3-abcd-efgh-234", nullptr},    // a letter short
      {"3-abcd-efgh-23456", nullptr},  // one too many
      {"a-abcd-efgh-2345", nullptr},   // no slot
      {"3-abcd-efgh-2341", nullptr},   // 1 is not in the alphabet
      {"", nullptr},
  };
  for (const auto& c : cases) {
    std::optional<RecoveryCode> parsed = parseRecoveryCode(c.typed);
    EXPECT_EQ(parsed.has_value(), c.canonical != nullptr) << c.typed;
    if (parsed && c.canonical) {
      EXPECT_EQ(parsed->canonical, c.canonical);
    }
  }
  EXPECT_FALSE(parseRecoveryCode(std::string(65, '-') + "3abcdefgh2345")) << "bounded";
}

}  // namespace
}  // namespace gsadmin
