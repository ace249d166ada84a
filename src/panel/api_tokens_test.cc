#include "panel/api_tokens.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "support/client_process.h"
#include "support/text_file.h"

namespace gsadmin {
namespace {

using testing::readTextFile;
using testing::TempDir;

const std::string kHash(64, 'a');

TEST(ApiTokensTest, LinesAreReadOrRefusedWithTheirNumber) {
  struct Case {
    std::string text;
    std::string error;  // empty: read
  } cases[] = {
      {"# a comment\n\nci alice read 100 0 " + kHash + "\n", ""},
      {"ci alice admin 100 200 " + kHash + "\n", ""},
      {"ci alice write 100 0 " + kHash, "line 1: the scope is read, act or admin"},
      {"\nci alice read 100 0 " + kHash + " extra",
       "line 2: expected LABEL ACCOUNT SCOPE CREATED EXPIRES HASH"},
      {"ci alice read -1 0 " + kHash,
       "line 1: CREATED and EXPIRES are seconds since the epoch (0: never)"},
      {"ci alice read 1 0x1 " + kHash,
       "line 1: CREATED and EXPIRES are seconds since the epoch (0: never)"},
      {"ci alice read 1 0 " + std::string(64, 'A'), "line 1: the hash is 64 lower-case hex digits"},
      {"c/i alice read 1 0 " + kHash,
       "line 1: a label and an account are 1 to 32 letters, digits or _.-"},
      {"ci alice read 1 0 " + kHash + "\nci bob act 1 0 " + kHash,
       "line 2: the label is given twice"},
  };
  for (const Case& c : cases) {
    std::string error;
    std::optional<std::vector<ApiToken>> tokens = parseTokens(c.text, &error);
    EXPECT_EQ(tokens.has_value(), c.error.empty()) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
}

TEST(ApiTokensTest, TheFileKeepsWhatItIsGivenAndOnlyTheHash) {
  TempDir dir;
  std::string path = dir.path() + "/users.tokens";
  std::string error;
  ASSERT_EQ(readTokensFile(path, &error)->size(), 0u) << "no file is no tokens";
  std::string secret = newTokenSecret();
  ASSERT_EQ(secret.size(), 69u);
  ASSERT_TRUE(secret.starts_with("gsat_"));
  std::vector<ApiToken> tokens = {
      {"ci", "alice", TokenScope::kAct, 1796731200, 0, tokenHash(secret)},
      {"ro", "mia", TokenScope::kRead, 1796731200, 1799323200, tokenHash("another")}};
  ASSERT_TRUE(writeTokensFile(path, tokens, &error)) << error;
  struct stat status {};
  ASSERT_EQ(stat(path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  EXPECT_EQ(readTextFile(path).value_or(secret).find(secret), std::string::npos);
  std::optional<std::vector<ApiToken>> read = readTokensFile(path, &error);
  ASSERT_TRUE(read) << error;
  ASSERT_EQ(read->size(), 2u);
  EXPECT_EQ((*read)[0].label, "ci");
  EXPECT_EQ((*read)[0].scope, TokenScope::kAct);
  EXPECT_EQ((*read)[1].expires, 1799323200);
  EXPECT_EQ((*read)[1].hash, tokenHash("another"));
  EXPECT_EQ(tokenHash("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(ApiTokensTest, AFileOthersCanReadOrALinkIsRefused) {
  TempDir dir;
  std::string path = dir.path() + "/users.tokens";
  dir.write("users.tokens", "ci alice read 1 0 " + kHash + "\n");
  chmod(path.c_str(), 0644);
  std::string error;
  EXPECT_FALSE(readTokensFile(path, &error));
  EXPECT_NE(error.find("readable by group or others"), std::string::npos) << error;
  std::string link = dir.path() + "/link.tokens";
  ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
  EXPECT_FALSE(readTokensFile(link, &error));
  EXPECT_FALSE(writeTokensFile(link, {}, &error));
  EXPECT_EQ(error, link + " is a symbolic link");
  EXPECT_EQ(tokensPathFor("/etc/gsadmin/users", std::nullopt), "/etc/gsadmin/users.tokens");
  EXPECT_EQ(tokensPathFor("/etc/gsadmin/users", "/var/t"), "/var/t");
}

}  // namespace
}  // namespace gsadmin
