#include "console/printable.h"

#include <gtest/gtest.h>

namespace gsadmin {
namespace {

TEST(PrintableTest, ControlBytesBecomeQuestionMarks) {
  EXPECT_EQ(printable("plain text 123"), "plain text 123");
  EXPECT_EQ(printable("\x1b[2Jbell\x07"), "?[2Jbell?");
  EXPECT_EQ(printable(std::string("a\0b\x7f\n\t", 6)), "a?b???");
  // Bytes above 0x7F are left alone: names may be in any 8-bit code page.
  EXPECT_EQ(printable("caf\xe9"), "caf\xe9");
}

}  // namespace
}  // namespace gsadmin
