// Which paths may be the scripts' database, on real files in a temporary
// directory.

#include "storage/database_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "support/client_process.h"

namespace gsadmin {
namespace {

TEST(DatabasePathTest, OnlyARegularFileOrANewNameInADirectory) {
  testing::TempDir dir;
  const std::string d = dir.path();
  dir.write("file.db", "");
  ASSERT_EQ(symlink((d + "/file.db").c_str(), (d + "/link.db").c_str()), 0);
  ASSERT_EQ(symlink((d + "/absent.db").c_str(), (d + "/dangling.db").c_str()), 0);
  ASSERT_EQ(mkfifo((d + "/fifo.db").c_str(), 0600), 0);
  const struct {
    std::string path;
    std::string refusal;  // empty: accepted
  } cases[] = {
      {d + "/file.db", ""},
      {d + "/new.db", ""},
      {d + "/link.db", d + "/link.db is not a regular file"},
      {d + "/dangling.db", d + "/dangling.db is not a regular file"},
      {d + "/fifo.db", d + "/fifo.db is not a regular file"},
      {d, d + " is not a regular file"},
      {"/dev/null", "/dev/null is not a regular file"},
      {d + "/missing/x.db", d + "/missing/x.db: No such file or directory"},
      {d + "/file.db/x.db", d + "/file.db/x.db: Not a directory"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(checkDatabasePath(c.path).value_or(""), c.refusal) << c.path;
  }
  // A name without a directory is a new file in the working directory.
  EXPECT_FALSE(checkDatabasePath("surely-not-here-" + std::to_string(getpid()) + ".db"));
}

}  // namespace
}  // namespace gsadmin
