// The QR code of --enroll-totp as the terminal shows it: every module
// drawn where it belongs, light ones as blocks.

#include "app/terminal_qr.h"

#include <gtest/gtest.h>

#include <string>

namespace gsadmin {
namespace {

// The modules a drawing shows, read back from its half blocks.
QrModules readBack(const std::string& drawn, size_t side) {
  QrModules modules;
  size_t at = 0;
  while (at < drawn.size()) {
    size_t end = drawn.find('\n', at);
    std::vector<bool> top, bottom;
    for (size_t i = at; i < end;) {
      std::string glyph = drawn[i] == ' ' ? " " : drawn.substr(i, 3);
      i += glyph.size();
      top.push_back(glyph == " " || glyph == "\u2584");     // dark above
      bottom.push_back(glyph == " " || glyph == "\u2580");  // dark below
    }
    modules.push_back(top);
    if (modules.size() < side) modules.push_back(bottom);
    at = end + 1;
  }
  return modules;
}

TEST(TerminalQrTest, DrawsEveryModuleTwoRowsALine) {
  const QrModules small = {{true, false, true}, {false, false, true}, {true, true, false}};
  EXPECT_EQ(drawQr(small), "\u2584\u2588 \n  \u2580\n");
  EXPECT_EQ(readBack(drawQr(small), 3), small);

  std::string uri =
      "otpauth://totp/gsadmin:alice?secret=GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ&issuer=gsadmin"
      "&algorithm=SHA1&digits=6&period=30";
  std::optional<QrModules> modules = qrModules(uri);
  ASSERT_TRUE(modules);
  size_t side = modules->size();
  // A version's side is 17 + 4v modules, with two of quiet zone each way.
  EXPECT_EQ((side - 4 - 17) % 4, 0u) << side;
  for (const std::vector<bool>& row : *modules) EXPECT_EQ(row.size(), side);
  EXPECT_FALSE((*modules)[1][1]) << "quiet zone";
  EXPECT_TRUE((*modules)[2][2]) << "the finder pattern's corner";
  EXPECT_EQ(readBack(drawQr(*modules), side), *modules);
}

}  // namespace
}  // namespace gsadmin
