// Files that hold secrets: replaced whole, private, never through a link.

#include "platform/private_file.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "support/client_process.h"

namespace gsadmin {
namespace {

size_t entriesIn(const std::string& directory) {
  size_t count = 0;
  DIR* dir = opendir(directory.c_str());
  while (dirent* entry = readdir(dir)) count += entry->d_name[0] != '.';
  closedir(dir);
  return count;
}

TEST(PrivateFileTest, ReplacedWholeWithModeSixHundredAndNothingLeftBeside) {
  testing::TempDir dir;
  std::string path = dir.path() + "/users";
  std::string error;
  // A new file, then one that was readable by others: both end up 0600.
  ASSERT_TRUE(writePrivateFile(path, "first\n", &error)) << error;
  ASSERT_EQ(chmod(path.c_str(), 0644), 0);
  ASSERT_TRUE(writePrivateFile(path, "second\n", &error)) << error;
  EXPECT_EQ(readPrivateFile(path, 100, &error).value_or("?"), "second\n") << error;
  struct stat status {};
  ASSERT_EQ(stat(path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  EXPECT_EQ(entriesIn(dir.path()), 1u) << "no temporary file is left";
}

TEST(PrivateFileTest, ALinkOrADirectoryIsRefusedAndTheTargetKept) {
  testing::TempDir dir;
  dir.write("target", "kept\n");
  std::string link = dir.path() + "/link";
  ASSERT_EQ(symlink((dir.path() + "/target").c_str(), link.c_str()), 0);
  ASSERT_EQ(mkdir((dir.path() + "/dir").c_str(), 0700), 0);
  std::string error;
  EXPECT_FALSE(writePrivateFile(link, "new\n", &error));
  EXPECT_EQ(error, link + " is a symbolic link");
  EXPECT_FALSE(writePrivateFile(dir.path() + "/dir", "new\n", &error));
  EXPECT_EQ(error, dir.path() + "/dir is not a regular file");
  EXPECT_FALSE(writePrivateFile(dir.path() + "/missing/users", "new\n", &error));
  EXPECT_EQ(error.rfind("cannot write beside ", 0), 0u) << error;
  struct stat status {};
  ASSERT_EQ(lstat(link.c_str(), &status), 0);
  EXPECT_TRUE(S_ISLNK(status.st_mode));
  EXPECT_EQ(entriesIn(dir.path()), 3u);
}

}  // namespace
}  // namespace gsadmin
