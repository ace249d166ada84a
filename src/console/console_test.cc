#include "console/console.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace gsadmin {
namespace {

std::string contents(std::FILE* file) {
  std::rewind(file);
  std::string text;
  for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file))
    text.push_back(static_cast<char>(c));
  return text;
}

TEST(StdioConsoleTest, LinesGoWholeToTheirStreamWithANewline) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  ASSERT_NE(out, nullptr);
  ASSERT_NE(err, nullptr);
  StdioConsole console(out, err);
  console.line("first");
  console.line("");
  console.line(std::string("nul\0kept", 8));
  console.errorLine("diagnostic");
  EXPECT_EQ(contents(out), std::string("first\n\nnul\0kept\n", 16));
  EXPECT_EQ(contents(err), "diagnostic\n");
  std::fclose(out);
  std::fclose(err);
}

TEST(StdioConsoleTest, UntilNulCutsWhereACStringWould) {
  EXPECT_EQ(untilNul("plain"), "plain");
  EXPECT_EQ(untilNul(std::string_view("ab\0cd", 5)), "ab");
  EXPECT_EQ(untilNul(std::string_view("\0", 1)), "");
  EXPECT_EQ(untilNul(""), "");
}

}  // namespace
}  // namespace gsadmin
