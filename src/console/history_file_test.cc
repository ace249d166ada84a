#include "console/history_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

#include "support/client_process.h"

namespace gsadmin {
namespace {

using Lines = std::vector<std::string>;

// What loadHistoryFile() reads, or "refused: REASON".
Lines loaded(const std::string& path, size_t limit) {
  Lines lines;
  std::string error;
  if (!loadHistoryFile(path, limit, &lines, &error)) return {"refused: " + error};
  return lines;
}

std::string contents(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

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

  EXPECT_EQ(loaded(path, 1000), (Lines{"one", "two", "three"}));
  EXPECT_EQ(loaded(path, 2), (Lines{"two", "three"}));
  EXPECT_EQ(loaded(path, 0), Lines{});
  EXPECT_EQ(loaded(dir.path() + "/missing", 10), Lines{});

  ASSERT_TRUE(saveHistoryFile(path, {"four"}, &error)) << error;
  EXPECT_EQ(loaded(path, 10), Lines{"four"});
}

TEST(HistoryFileTest, NeitherReadsNorReplacesWhatIsNotARegularFile) {
  testing::TempDir dir;
  dir.write("target", "kept\n");
  std::string fifo = dir.path() + "/fifo";
  std::string link = dir.path() + "/link";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(symlink((dir.path() + "/target").c_str(), link.c_str()), 0);
  // A FIFO with no writer: reading must not wait for one.
  EXPECT_EQ(loaded(fifo, 10), Lines{"refused: " + fifo + " is not a regular file"});
  EXPECT_EQ(loaded(link, 10).at(0).rfind("refused: cannot read " + link, 0), 0u);
  EXPECT_EQ(loaded(dir.path(), 10), Lines{"refused: " + dir.path() + " is not a regular file"});

  std::string error;
  for (const std::string& path : {fifo, link}) {
    EXPECT_FALSE(saveHistoryFile(path, {"x"}, &error)) << path;
    EXPECT_EQ(error, "not replacing " + path + ": not a regular file");
  }
  struct stat info {};
  ASSERT_EQ(lstat(fifo.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
  EXPECT_EQ(contents(dir.path() + "/target"), "kept\n");
}

TEST(HistoryFileTest, SavingNeverWritesThroughALinkBesideTheHistory) {
  testing::TempDir dir;
  dir.write("victim", "precious\n");
  std::string path = dir.path() + "/history";
  std::string victim = dir.path() + "/victim";
  // Links at the names a save might write first.
  for (const std::string& name :
       {path + ".tmp", path + ".tmp-" + std::to_string(getpid()) + "-0"}) {
    ASSERT_EQ(symlink(victim.c_str(), name.c_str()), 0);
  }
  std::string error;
  ASSERT_TRUE(saveHistoryFile(path, {"one"}, &error)) << error;
  EXPECT_EQ(contents(victim), "precious\n");
  EXPECT_EQ(contents(path), "one\n");
  struct stat info {};
  ASSERT_EQ(lstat(path.c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));
  // Nothing of the save is left behind under another name.
  EXPECT_NE(lstat((path + ".tmp-" + std::to_string(getpid()) + "-1").c_str(), &info), 0);
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
