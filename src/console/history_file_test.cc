#include "console/history_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "support/client_process.h"

namespace gsadmin {
namespace {

TEST(HistoryFileTest, DefaultPathFollowsXdgStateHomeThenHome) {
  EXPECT_EQ(defaultHistoryPath("/state", "/home/op"), "/state/gsadmin/history");
  EXPECT_EQ(defaultHistoryPath(nullptr, "/home/op"), "/home/op/.local/state/gsadmin/history");
  EXPECT_EQ(defaultHistoryPath("relative", "/home/op"), "/home/op/.local/state/gsadmin/history");
  EXPECT_EQ(defaultHistoryPath("", "/home/op"), "/home/op/.local/state/gsadmin/history");
  EXPECT_EQ(defaultHistoryPath(nullptr, nullptr), std::nullopt);
  EXPECT_EQ(defaultHistoryPath(nullptr, ""), std::nullopt);
}

TEST(HistoryFileTest, SavesPrivatelyInNewDirectoriesAndLoadsTheLastLines) {
  testing::TempDir dir;
  std::string path = dir.path() + "/a/b/gsadmin/history";
  mode_t oldMask = umask(0);  // a careless umask must not widen the file
  std::string error;
  bool saved = saveHistoryFile(path, {"one", "two", "three"}, &error);
  umask(oldMask);
  ASSERT_TRUE(saved) << error;

  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  ASSERT_EQ(stat((dir.path() + "/a/b/gsadmin").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  EXPECT_EQ(loadHistoryFile(path, 1000), (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_EQ(loadHistoryFile(path, 2), (std::vector<std::string>{"two", "three"}));
  EXPECT_EQ(loadHistoryFile(path, 0), std::vector<std::string>{});
  EXPECT_EQ(loadHistoryFile(dir.path() + "/missing", 10), std::vector<std::string>{});

  ASSERT_TRUE(saveHistoryFile(path, {"four"}, &error)) << error;
  EXPECT_EQ(loadHistoryFile(path, 10), std::vector<std::string>{"four"});
}

TEST(HistoryFileTest, ReportsAnUnwritablePath) {
  testing::TempDir dir;
  dir.write("file", "x");
  std::string error;
  EXPECT_FALSE(saveHistoryFile(dir.path() + "/file/history", {"x"}, &error));
  EXPECT_NE(error.find("cannot"), std::string::npos) << error;
}

}  // namespace
}  // namespace gsadmin
