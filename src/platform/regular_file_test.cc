// Reading files named by options: only regular files, never through a
// link, never waiting on a FIFO, and no more than asked.

#include "platform/regular_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "support/client_process.h"

namespace gsadmin {
namespace {

TEST(RegularFileTest, OnlyRegularFilesAreReadAndNoMoreThanAskedPlusOne) {
  testing::TempDir dir;
  dir.write("rules.toml", "0123456789");
  std::string file = dir.path() + "/rules.toml";
  ASSERT_EQ(symlink(file.c_str(), (dir.path() + "/link").c_str()), 0);
  ASSERT_EQ(mkfifo((dir.path() + "/fifo").c_str(), 0600), 0);
  ASSERT_EQ(mkdir((dir.path() + "/dir").c_str(), 0700), 0);

  std::string error;
  EXPECT_EQ(readRegularFile(file, 100, &error).value_or("?"), "0123456789");
  EXPECT_EQ(readRegularFile(file, 4, &error).value_or("?"), "01234") << "a file over the cap shows";
  struct Case {
    const char* name;
    const char* reason;
  };
  const Case refused[] = {
      {"/link", " is a symbolic link"},
      {"/fifo", " is not a regular file"},  // would block a reader
      {"/dir", " is not a regular file"},
      {"/missing", "cannot open "},
  };
  for (const Case& c : refused) {
    error.clear();
    EXPECT_FALSE(readRegularFile(dir.path() + c.name, 100, &error)) << c.name;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
}

}  // namespace
}  // namespace gsadmin
