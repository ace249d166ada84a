#include "panel/users_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "panel/password_hash.h"
#include "support/client_process.h"

namespace gsadmin {
namespace {

const std::string kHash = "$argon2id$v=19$m=19456,t=2,p=1$c2FsdHNhbHRzYWx0$aGFzaGhhc2hoYXNo";

TEST(UsersFileTest, ParsesAccountsAndRefusesBadLinesByNumber) {
  const struct {
    std::string text;
    size_t accounts;
    std::string error;
  } cases[] = {
      {"alice 4 " + kHash + "\n", 1, ""},
      {"# admins\n\n  \nalice 1 " + kHash + "\r\nbob\t2\t" + kHash, 2, ""},
      {"", 0, "no account"},
      {"# only a comment\n", 0, "no account"},
      {"alice 4\n", 0, "line 1: expected NAME LEVEL HASH"},
      {"alice 4 " + kHash + " extra\n", 0, "line 1: expected NAME LEVEL HASH"},
      {"\nal ice 4 " + kHash, 0, "line 2: a level is 1 to 4"},
      {"\nalice " + kHash, 0, "line 2: expected NAME LEVEL HASH"},
      {"al!ce 4 " + kHash, 0, "line 1: a name is 1 to 32 letters, digits, '_', '.' or '-'"},
      {std::string(33, 'a') + " 4 " + kHash, 0, "line 1: a name is 1 to 32"},
      {"alice 0 " + kHash, 0, "line 1: a level is 1 to 4"},
      {"alice 5 " + kHash, 0, "line 1: a level is 1 to 4"},
      {"alice 12 " + kHash, 0, "line 1: a level is 1 to 4"},
      {"alice 4 plaintext", 0, "line 1: not a hash made by gsadmin --hash-password"},
      {"alice 4 " + kHash + "\nALICE 2 " + kHash, 0, "line 2: a name given twice"},
  };
  for (const auto& c : cases) {
    std::string error;
    auto accounts = parseUsers(c.text, &error);
    if (c.error.empty()) {
      ASSERT_TRUE(accounts) << c.text << ": " << error;
      EXPECT_EQ(accounts->size(), c.accounts);
    } else {
      EXPECT_FALSE(accounts) << c.text;
      EXPECT_EQ(error.substr(0, c.error.size()), c.error) << c.text;
    }
  }
  std::string error;
  auto accounts = parseUsers("bob 2 " + kHash + "\n", &error);
  ASSERT_TRUE(accounts);
  EXPECT_EQ((*accounts)[0].name, "bob");
  EXPECT_EQ((*accounts)[0].level, 2);
  EXPECT_EQ((*accounts)[0].hash, kHash);
  EXPECT_EQ(usersFileLine((*accounts)[0]), "bob 2 " + kHash);
}

// The base32 of "12345678901234567890".
const std::string kSecret = "GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ";

TEST(UsersFileTest, TakesASecretAndRecoveryHashesAfterTheHash) {
  const struct {
    std::string extra;
    std::string error;  // empty: taken
  } cases[] = {
      {"", ""},
      {" totp=" + kSecret, ""},
      {"\ttotp=" + kSecret + " recovery=0:" + kHash + " recovery=9:" + kHash, ""},
      {" recovery=3:" + kHash + " totp=" + kSecret, ""},
      {" totp=" + kSecret + " totp=" + kSecret, "totp= takes one base32 secret"},
      {" totp=GEZDGNBV", "totp= takes one base32 secret"},  // 5 bytes
      {" totp=" + kSecret + "1", "totp= takes one base32 secret"},
      {" totp=", "totp= takes one base32 secret"},
      {" recovery=1:" + kHash + " recovery=1:" + kHash, "recovery= takes a slot 0 to 9, once"},
      {" recovery=a:" + kHash, "recovery= takes a slot"},
      {" recovery=1" + kHash, "recovery= takes a slot"},
      {" recovery=1:plain", "recovery= takes a slot"},
      {" extra", "expected NAME LEVEL HASH, then totp=SECRET and recovery=S:HASH fields"},
  };
  for (const auto& c : cases) {
    std::string error;
    auto accounts = parseUsers("alice 4 " + kHash + c.extra + "\n", &error);
    if (c.error.empty()) {
      ASSERT_TRUE(accounts) << c.extra << ": " << error;
      // Written back, the line reads the same.
      std::string line = usersFileLine((*accounts)[0]);
      auto again = parseUsers(line, &error);
      ASSERT_TRUE(again) << line;
      EXPECT_EQ(usersFileLine((*again)[0]), line);
    } else {
      EXPECT_FALSE(accounts) << c.extra;
      EXPECT_EQ(error.substr(0, 8 + c.error.size()), "line 1: " + c.error) << c.extra;
    }
  }
  std::string error;
  auto accounts =
      parseUsers("bob 2 " + kHash + " recovery=7:" + kHash + " totp=" + kSecret, &error);
  ASSERT_TRUE(accounts) << error;
  EXPECT_EQ((*accounts)[0].totpSecret.value_or(""), kSecret);
  ASSERT_EQ((*accounts)[0].recovery.size(), 1u);
  EXPECT_EQ((*accounts)[0].recovery[0].slot, 7);
  EXPECT_EQ(usersFileLine((*accounts)[0]),
            "bob 2 " + kHash + " totp=" + kSecret + " recovery=7:" + kHash);
}

TEST(UsersFileTest, AnAccountsLineIsReplacedAndEveryOtherLineKept) {
  const std::string text =
      "# admins\n\nalice 4 " + kHash + "\r\n#mia 1 old\nmia  1 " + kHash + "\nmiab 1 " + kHash;
  EXPECT_EQ(withAccountLine(text, "mia", "mia 1 NEW").value_or("?"),
            "# admins\n\nalice 4 " + kHash + "\r\n#mia 1 old\nmia 1 NEW\nmiab 1 " + kHash + "\n");
  EXPECT_EQ(withAccountLine(text, "alice", "alice 4 NEW").value_or("?"),
            "# admins\n\nalice 4 NEW\r\n#mia 1 old\nmia  1 " + kHash + "\nmiab 1 " + kHash + "\n");
  EXPECT_FALSE(withAccountLine(text, "Mia", "x")) << "the name exactly";
  EXPECT_FALSE(withAccountLine(text, "#mia", "x")) << "never a comment";
  EXPECT_FALSE(withAccountLine("", "mia", "x"));
}

TEST(UsersFileTest, RefusesAFileOthersCanReadOrALink) {
  testing::TempDir dir;
  dir.write("users", "alice 4 " + kHash + "\n");
  std::string path = dir.path() + "/users";
  std::string error;
  ASSERT_EQ(chmod(path.c_str(), 0600), 0);
  EXPECT_TRUE(readUsersFile(path, &error)) << error;
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  EXPECT_FALSE(readUsersFile(path, &error));
  EXPECT_EQ(error, path + " is readable by group or others; make it private (chmod 600)");
  ASSERT_EQ(chmod(path.c_str(), 0600), 0);
  ASSERT_EQ(symlink(path.c_str(), (dir.path() + "/link").c_str()), 0);
  EXPECT_FALSE(readUsersFile(dir.path() + "/link", &error));
  EXPECT_EQ(error, dir.path() + "/link is a symbolic link");
  dir.write("bad", "alice 9 " + kHash + "\n");
  ASSERT_EQ(chmod((dir.path() + "/bad").c_str(), 0600), 0);
  EXPECT_FALSE(readUsersFile(dir.path() + "/bad", &error));
  EXPECT_EQ(error, dir.path() + "/bad: line 1: a level is 1 to 4, or a role of the file");
}

TEST(PasswordHashTest, HashesWithASaltAndVerifiesOnlyTheSamePassword) {
  std::optional<std::string> hash = hashPassword("correct horse");
  ASSERT_TRUE(hash);
  EXPECT_TRUE(hash->starts_with("$argon2id$v=19$m=19456,t=2,p=1$")) << *hash;
  EXPECT_TRUE(isPasswordHash(*hash));
  EXPECT_NE(hashPassword("correct horse"), hash) << "a fresh salt each time";
  EXPECT_TRUE(verifyPassword(*hash, "correct horse"));
  EXPECT_FALSE(verifyPassword(*hash, "correct horsE"));
  EXPECT_FALSE(verifyPassword(*hash, ""));
  EXPECT_FALSE(verifyPassword("$argon2id$garbage", "correct horse"));
  EXPECT_FALSE(verifyPassword("plain", "plain"));
  EXPECT_FALSE(isPasswordHash("$argon2id$v=19$m=4194304,t=2,p=1$c2FsdA$aGFzaA")) << "4 GiB";
  EXPECT_FALSE(isPasswordHash("$argon2id$v=19$m=19456,t=99,p=1$c2FsdA$aGFzaA"));
  EXPECT_FALSE(isPasswordHash("$argon2id$v=19$m=19456,t=2$c2FsdA$aGFzaA"));
  EXPECT_FALSE(isPasswordHash("$argon2i$v=19$m=19456,t=2,p=1$c2FsdA$aGFzaA"));
  EXPECT_TRUE(isPasswordHash("$argon2id$v=19$m=262144,t=16,p=4$c2FsdA$aGFzaA"));
  EXPECT_FALSE(hashPassword(""));
  EXPECT_FALSE(hashPassword(std::string(kMaxPanelPasswordBytes + 1, 'p')));
}

}  // namespace
}  // namespace gsadmin
