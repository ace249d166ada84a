#include "app/password_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "support/client_process.h"

namespace gsadmin {
namespace {

TEST(PasswordFileTest, FirstLineOfAPrivateFile) {
  testing::TempDir dir;
  const struct {
    std::string content;
    mode_t mode;
    std::optional<std::string> password;
    std::string error;  // a part of the reason
  } cases[] = {
      {"s3cret\nsecond line\n", 0600, "s3cret", ""},
      {"s3cret\r\n", 0400, "s3cret", ""},
      {"no newline", 0600, "no newline", ""},
      {"with spaces inside \n", 0600, "with spaces inside ", ""},
      {"s3cret\n", 0640, std::nullopt, "readable by group or others"},
      {"s3cret\n", 0604, std::nullopt, "readable by group or others"},
      {"\nlater\n", 0600, std::nullopt, "no password on its first line"},
      {"", 0600, std::nullopt, "no password on its first line"},
      // The longest password is kept whole; a longer one is refused, not cut.
      {std::string(4096, 'p') + "\r\nmore", 0600, std::string(4096, 'p'), ""},
      {std::string(4096, 'p'), 0600, std::string(4096, 'p'), ""},
      {std::string(4097, 'p') + "\n", 0600, std::nullopt, "first line longer than 4096 bytes"},
      {std::string(9000, 'p'), 0600, std::nullopt, "first line longer than 4096 bytes"},
  };
  int index = 0;
  for (const auto& c : cases) {
    std::string path = dir.path() + "/pw" + std::to_string(index++);
    dir.write("pw" + std::to_string(index - 1), c.content);
    ASSERT_EQ(chmod(path.c_str(), c.mode), 0);
    std::string error;
    EXPECT_EQ(readPasswordFile(path, &error), c.password) << c.content;
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
    if (c.password) {
      EXPECT_EQ(error, "");
    }
  }
  std::string error;
  EXPECT_EQ(readPasswordFile(dir.path() + "/missing", &error), std::nullopt);
  EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
  EXPECT_EQ(readPasswordFile(dir.path(), &error), std::nullopt);
  EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
  // A link is not followed, even to a private file.
  ASSERT_EQ(symlink((dir.path() + "/pw0").c_str(), (dir.path() + "/link").c_str()), 0);
  EXPECT_EQ(readPasswordFile(dir.path() + "/link", &error), std::nullopt);
  EXPECT_NE(error.find("is a symbolic link"), std::string::npos) << error;
}

}  // namespace
}  // namespace gsadmin
