// The accounts a login reads: reloads that end logins, one-time codes taken
// once, and recovery codes struck out of the users file as they are used.

#include "panel/account_book.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "panel/password_hash.h"
#include "platform/private_file.h"
#include "support/client_process.h"

namespace gsadmin {
namespace {

const std::string kHash = "$argon2id$v=19$m=19456,t=2,p=1$c2FsdHNhbHRzYWx0$aGFzaGhhc2hoYXNo";
const std::string kOtherHash = "$argon2id$v=19$m=19456,t=2,p=1$c2FsdHNhbHRzYWx0$b3RoZXJvdGhlcg";
const std::string kSecret = "GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ";

PanelAccount account(const std::string& name, int level, const std::string& hash,
                     std::optional<std::string> secret = std::nullopt) {
  PanelAccount made;
  made.name = name;
  made.level = level;
  made.hash = hash;
  made.totpSecret = std::move(secret);
  return made;
}

TEST(AccountBookTest, AReloadEndsTheLoginsOfAccountsGoneOrChangedOnly) {
  AccountBook book;
  EXPECT_TRUE(book.replace({account("same", 1, kHash, kSecret), account("pass", 1, kHash),
                            account("level", 1, kHash), account("secret", 1, kHash, kSecret),
                            account("enrolled", 1, kHash), account("gone", 1, kHash)})
                  .empty());
  PanelAccount codes = account("same", 1, kHash, kSecret);
  codes.recovery.push_back({1, kHash});  // a struck-out code alone ends nothing
  std::vector<std::string> ended =
      book.replace({codes, account("pass", 1, kOtherHash), account("level", 2, kHash),
                    account("secret", 1, kHash, "MZXW6YTBOIMZXW6YTBOI"),
                    account("enrolled", 1, kHash, kSecret), account("new", 1, kHash)});
  EXPECT_EQ(ended, (std::vector<std::string>{"pass", "level", "secret", "enrolled", "gone"}));
  EXPECT_FALSE(book.find("gone"));
  EXPECT_EQ(book.find("level").value().level, 2);
  EXPECT_FALSE(book.find("LEVEL")) << "names are exact";
}

TEST(AccountBookTest, AStepIsTakenOnceAndOnlyLaterOnesAfterIt) {
  AccountBook book;
  book.replace({account("mia", 1, kHash, kSecret), account("alice", 4, kHash, kSecret)});
  EXPECT_TRUE(book.takeStep("mia", kSecret, 100));
  EXPECT_FALSE(book.takeStep("mia", kSecret, 100)) << "a replay";
  EXPECT_FALSE(book.takeStep("mia", kSecret, 99)) << "an older code of the window";
  EXPECT_TRUE(book.takeStep("alice", kSecret, 100)) << "each account its own";
  EXPECT_TRUE(book.takeStep("mia", kSecret, 101));
  EXPECT_FALSE(book.takeStep("mia", "MZXW6YTBOIMZXW6YTBOI", 102)) << "a secret since replaced";
  EXPECT_FALSE(book.takeStep("nobody", kSecret, 102));
  // A reload keeps the step of an unchanged secret, forgets a new one's.
  book.replace({account("mia", 1, kHash, kSecret), account("alice", 4, kHash, "MZXW6YTBOI")});
  EXPECT_FALSE(book.takeStep("mia", kSecret, 101));
  EXPECT_TRUE(book.takeStep("alice", "MZXW6YTBOI", 50));
}

TEST(AccountBookTest, ARecoveryCodeIsStruckOutOfTheFileOnceEvenByParallelLogins) {
  testing::TempDir dir;
  std::string path = dir.path() + "/users";
  std::string code = hashPassword("3abcdefgh2345").value();
  PanelAccount mia = account("mia", 1, kHash, kSecret);
  mia.recovery = {{2, kHash}, {3, code}};
  std::string text = "# ours\nalice 4 " + kHash + "\n" + usersFileLine(mia) + "\n";
  std::string error;
  ASSERT_TRUE(writePrivateFile(path, text, &error)) << error;
  AccountBook book;
  book.setUsersFile(path);
  book.replace({account("alice", 4, kHash), mia});

  std::atomic<int> used{0};
  std::vector<std::thread> logins;
  for (int i = 0; i < 4; ++i) {
    logins.emplace_back([&]() {
      std::string reason;
      if (book.useRecovery("mia", 3, code, &reason)) ++used;
      EXPECT_EQ(reason, "");
    });
  }
  for (std::thread& login : logins) login.join();
  EXPECT_EQ(used, 1);
  mia.recovery = {{2, kHash}};
  EXPECT_EQ(readPrivateFile(path, 10000, &error).value_or("?"),
            "# ours\nalice 4 " + kHash + "\n" + usersFileLine(mia) + "\n");
  EXPECT_EQ(book.find("mia").value().recovery.size(), 1u);
  EXPECT_FALSE(book.useRecovery("mia", 2, kOtherHash, &error)) << "not that slot's hash";
}

TEST(AccountBookTest, ACodeWhoseUseCannotBeWrittenIsStruckHereAndSaidSo) {
  testing::TempDir dir;
  PanelAccount mia = account("mia", 1, kHash, kSecret);
  mia.recovery = {{4, kHash}, {5, kHash}};
  AccountBook book;
  book.setUsersFile(dir.path() + "/missing");
  book.replace({mia});
  std::string error;
  EXPECT_TRUE(book.useRecovery("mia", 4, kHash, &error));
  EXPECT_EQ(error.rfind("cannot open " + dir.path() + "/missing", 0), 0u) << error;
  EXPECT_FALSE(book.useRecovery("mia", 4, kHash, &error)) << "once, all the same";
  EXPECT_EQ(book.find("mia").value().recovery.size(), 1u);
  // Re-enrolled on disk since the last reload: the old code is not struck.
  std::string path = dir.path() + "/users";
  PanelAccount anew = mia;
  anew.recovery = {{5, kOtherHash}};
  ASSERT_TRUE(writePrivateFile(path, usersFileLine(anew) + "\n", &error));
  book.setUsersFile(path);
  error.clear();
  EXPECT_FALSE(book.useRecovery("mia", 5, kHash, &error));
  EXPECT_EQ(error, "");
  EXPECT_EQ(readPrivateFile(path, 10000, &error).value_or("?"), usersFileLine(anew) + "\n");
}

}  // namespace
}  // namespace gsadmin
