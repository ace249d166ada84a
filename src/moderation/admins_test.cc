// The admins in game on a real SQLite file in a temporary directory.

#include "moderation/admins.h"

#include <gtest/gtest.h>

#include "moderation/actor.h"
#include "storage/sqlite_database.h"
#include "support/client_process.h"

namespace gsadmin {
namespace {

using testing::TempDir;

constexpr int64_t kNow = 1796731200;

class AdminsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(store_.open(), "");
    ASSERT_EQ(admins_.load(), "");
  }

  TempDir dir_;
  SqliteDatabase database_{dir_.path() + "/script.db"};
  RecordStore store_{database_};
  Admins admins_{store_};
};

TEST_F(AdminsTest, ALevelNeedsTheNameInAnyCaseAndTheExactDetails) {
  admins_.add("Bob", "key-bob", kAdminLevel, "Admin", kNow);
  admins_.add("Trusted", "", kModeratorLevel, "Admin", kNow);  // --trust-names
  struct Case {
    const char* name;
    const char* details;
    int level;
  };
  const Case cases[] = {
      {"Bob", "key-bob", kAdminLevel},
      {"bOB", "key-bob", kAdminLevel},
      {"Bob", "key-bob ", 0},
      {"Bob", "KEY-BOB", 0},
      {"Bob", "", 0},
      {"Bobby", "key-bob", 0},
      {"Ann", "key-bob", 0},
      {"trusted", "", kModeratorLevel},
      {"Trusted", "Unknown", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(admins_.levelOf(c.name, c.details), c.level) << c.name << " / " << c.details;
  }
}

TEST_F(AdminsTest, AddReplacesRemoveForgetsAndAllIsByName) {
  admins_.add("cy", "c", kModeratorLevel, "Admin", kNow);
  admins_.add("Bob", "b", kModeratorLevel, "Admin", kNow);
  admins_.add("BOB", "b2", kSeniorLevel, "Ann", kNow + 5);
  std::optional<AdminRecord> bob = admins_.find("bob");
  ASSERT_TRUE(bob);
  EXPECT_EQ(bob->name, "BOB");
  EXPECT_EQ(bob->details, "b2");
  EXPECT_EQ(bob->level, kSeniorLevel);
  EXPECT_EQ(bob->addedBy, "Ann");
  EXPECT_EQ(bob->added, kNow + 5);
  EXPECT_EQ(admins_.levelOf("Bob", "b"), 0);

  std::vector<AdminRecord> all = admins_.all();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].name, "BOB");
  EXPECT_EQ(all[1].name, "cy");

  EXPECT_TRUE(admins_.remove("Cy"));
  EXPECT_FALSE(admins_.remove("cy"));
  EXPECT_FALSE(admins_.find("cy"));
  EXPECT_EQ(admins_.levelOf("cy", "c"), 0);
}

TEST_F(AdminsTest, AdminsSurviveAReloadFromTheTable) {
  admins_.add("Bob", "key-bob", kAdminLevel, "Admin", kNow);
  admins_.add("Ann", "key-ann", kSeniorLevel, "Bob", kNow);
  admins_.add("Cy", "key-cy", kModeratorLevel, "Bob", kNow);
  admins_.remove("Ann");
  ASSERT_FALSE(store_.flush());

  // A new start on the same file.
  SqliteDatabase database(database_.description());
  RecordStore store(database);
  ASSERT_EQ(store.open(), "");
  Admins reloaded(store);
  ASSERT_EQ(reloaded.load(), "");
  EXPECT_EQ(reloaded.levelOf("BOB", "key-bob"), kAdminLevel);
  EXPECT_EQ(reloaded.levelOf("Bob", "other"), 0);
  EXPECT_EQ(reloaded.levelOf("Ann", "key-ann"), 0);
  ASSERT_EQ(reloaded.all().size(), 2u);
  EXPECT_EQ(reloaded.find("cy")->addedBy, "Bob");
}

}  // namespace
}  // namespace gsadmin
