#include "console/completion.h"

#include <gtest/gtest.h>

namespace gsadmin {
namespace {

TEST(CompletionTest, CompletesIgnoringCaseSortedWithoutDuplicates) {
  const std::vector<std::string> words = {".kick", ".help", "Bob", "bobby", "Bob", "", ".kill"};
  EXPECT_EQ(completionsFor(".k", words), (std::vector<std::string>{".kick", ".kill"}));
  EXPECT_EQ(completionsFor("BO", words), (std::vector<std::string>{"Bob", "bobby"}));
  EXPECT_EQ(completionsFor("q", words), std::vector<std::string>{});
  EXPECT_EQ(completionsFor("", words).size(), 5u);
}

}  // namespace
}  // namespace gsadmin
