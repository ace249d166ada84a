#include "panel/csv_text.h"

#include <gtest/gtest.h>

namespace gsadmin {
namespace {

TEST(CsvTextTest, FieldsAreQuotedAndFormulasNeutralised) {
  struct Case {
    const char* text;
    const char* field;
  } cases[] = {
      {"spam", "spam"},
      {"", ""},
      {"a, b", "\"a, b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"two\nlines", "\"two\nlines\""},
      {"cr\rhere", "\"cr\rhere\""},
      {"=cmd|' /C calc'!A0", "'=cmd|' /C calc'!A0"},
      {"+1+1", "'+1+1"},
      {"-2+3", "'-2+3"},
      {"@SUM(A1)", "'@SUM(A1)"},
      {"\tx", "'\tx"},
      {"=HYPERLINK(\"http://x\",\"a,b\")", "\"'=HYPERLINK(\"\"http://x\"\",\"\"a,b\"\")\""},
      {"a=b", "a=b"},
  };
  for (const Case& c : cases) EXPECT_EQ(csvField(c.text), c.field) << c.text;
}

TEST(CsvTextTest, RecordsJoinFieldsAndEndInCrlf) {
  EXPECT_EQ(csvRecord({csvNumber(12), csvField("Bob"), csvField("a,b")}), "12,Bob,\"a,b\"\r\n");
  EXPECT_EQ(csvRecord({}), "\r\n");
  EXPECT_EQ(csvNumber(-5), "-5");
}

}  // namespace
}  // namespace gsadmin
