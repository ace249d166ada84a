#include "console/printable.h"

#include <gtest/gtest.h>

namespace gsadmin {
namespace {

TEST(PrintableTest, ControlCharactersBecomeQuestionMarksAndTextStays) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"plain text 123", "plain text 123"},
      {"\x1b[2Jbell\x07", "?[2Jbell?"},
      {std::string("a\0b\x7f\n\t", 6), "a?b???"},
      // Latin-1 letters and lone bytes 0xA0-0xFF stay: names may be in any code page.
      {"caf\xe9", "caf\xe9"},
      {"\xa0\xbf\xff", "\xa0\xbf\xff"},
      // 8-bit CSI, alone and in UTF-8; every C1 control and its UTF-8 form.
      {"\x9b[31m", "?[31m"},
      {"\xc2\x9b[31m", "?[31m"},
      {"\x80\x9f", "??"},
      {"\xc2\x80\xc2\x9f", "??"},
      // U+00A0 and up in UTF-8, with continuation bytes 0x80-0xBF, stay whole.
      {"\xc2\xa0\xc3\xa9", "\xc2\xa0\xc3\xa9"},
      {"\xe2\x82\xac \xe4\xb8\x80", "\xe2\x82\xac \xe4\xb8\x80"},
      {"\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"},
      // Broken or ill-formed sequences: C1 bytes in them are controls again.
      {"\xe2\x82", "\xe2?"},
      {"\xc3\x28", "\xc3("},
      {"\xc0\x9b", "\xc0?"},
      {"\xed\xa0\x80", "\xed\xa0?"},
      {"\xf4\x90\x80\x80", "\xf4???"},
      {"\xc2", "\xc2"},
  };
  for (const auto& c : cases) EXPECT_EQ(printable(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace gsadmin
