#include "panel/token_store.h"

#include <gtest/gtest.h>

#include <string>

#include "support/client_process.h"
#include "support/manual_clock.h"

namespace gsadmin {
namespace {

using testing::TempDir;

class TokenStoreTest : public ::testing::Test {
 protected:
  void write(const std::vector<ApiToken>& tokens) {
    std::string error;
    ASSERT_TRUE(writeTokensFile(path_, tokens, &error)) << error;
  }
  ApiToken token(const std::string& label, const std::string& secret, int64_t expires = 0) {
    return {label,   "alice",          TokenScope::kRead, ManualClock::kEpochSeconds,
            expires, tokenHash(secret)};
  }

  TempDir dir_;
  std::string path_ = dir_.path() + "/users.tokens";
  ManualClock clock_;
};

TEST_F(TokenStoreTest, ATokenIsFoundByItsSecretUntilItExpires) {
  write({token("ci", "gsat_one", ManualClock::kEpochSeconds + 60), token("ro", "gsat_two")});
  TokenStore store(path_, clock_);
  ASSERT_TRUE(store.find("gsat_one"));
  EXPECT_EQ(store.find("gsat_one")->label, "ci");
  EXPECT_FALSE(store.find("gsat_on"));
  EXPECT_FALSE(store.find(""));
  EXPECT_FALSE(store.find(std::string(kMaxTokenBytes + 1, 'x')));
  clock_.advance(60 * 1000);
  EXPECT_FALSE(store.find("gsat_one")) << "expired at its second";
  EXPECT_TRUE(store.find("gsat_two")) << "0 never expires";
}

TEST_F(TokenStoreTest, ChangesToTheFileCountWithinASecond) {
  write({token("ci", "gsat_one")});
  TokenStore store(path_, clock_);
  ASSERT_TRUE(store.find("gsat_one"));
  write({token("new", "gsat_new")});
  EXPECT_TRUE(store.find("gsat_one")) << "looked at most once a second";
  clock_.advance(TokenStore::kRecheckMs);
  EXPECT_FALSE(store.find("gsat_one"));
  EXPECT_TRUE(store.find("gsat_new"));
  dir_.write("users.tokens", "broken\n");
  clock_.advance(TokenStore::kRecheckMs);
  EXPECT_FALSE(store.find("gsat_new")) << "a file that does not read gives no tokens";
  EXPECT_EQ(store.problem(), path_ + ": line 1: expected LABEL ACCOUNT SCOPE CREATED EXPIRES HASH");
}

TEST_F(TokenStoreTest, ARevocationTakesTheTokenOutOfTheFileAndTheStore) {
  write({token("ci", "gsat_one"), token("ro", "gsat_two")});
  TokenStore store(path_, clock_);
  std::string error;
  EXPECT_FALSE(store.revoke("nope", &error));
  EXPECT_EQ(error, "no token is labelled nope");
  ASSERT_TRUE(store.revoke("ci", &error)) << error;
  EXPECT_FALSE(store.find("gsat_one"));
  EXPECT_TRUE(store.find("gsat_two"));
  std::optional<std::vector<ApiToken>> left = readTokensFile(path_, &error);
  ASSERT_TRUE(left);
  ASSERT_EQ(left->size(), 1u);
  EXPECT_EQ((*left)[0].label, "ro");
  EXPECT_EQ(store.list().size(), 1u);
}

TEST_F(TokenStoreTest, AnAccountsTokensAreRevokedTogetherAndNoOneElses) {
  ApiToken bobs = token("bob-ci", "gsat_three");
  bobs.account = "bob";
  write({token("ci", "gsat_one"), bobs, token("ro", "gsat_two")});
  TokenStore store(path_, clock_);
  std::string error;
  EXPECT_EQ(store.revokeAccount("alice", &error), std::optional<size_t>(2)) << error;
  EXPECT_EQ(store.revokeAccount("alice", &error), std::optional<size_t>(0)) << error;
  EXPECT_FALSE(store.find("gsat_one"));
  EXPECT_TRUE(store.find("gsat_three"));
  std::optional<std::vector<ApiToken>> left = readTokensFile(path_, &error);
  ASSERT_TRUE(left && left->size() == 1u);
  EXPECT_EQ((*left)[0].label, "bob-ci");
}

}  // namespace
}  // namespace gsadmin
