#ifndef GSADMIN_CONSOLE_PRINTABLE_H_
#define GSADMIN_CONSOLE_PRINTABLE_H_

#include <string>
#include <string_view>

namespace gsadmin {

// The text with every control character replaced by '?': the bytes
// 0x00-0x1F and 0x7F, the C1 controls U+0080-U+009F written in UTF-8 (C2 80
// to C2 9F, one '?' for the two bytes), and a byte 0x80-0x9F that is not part
// of a well-formed UTF-8 sequence. Everything else is kept: well-formed UTF-8
// and Latin-1 letters (0xA0-0xFF). Network text goes through this before it
// reaches the console, so a player cannot send terminal control sequences
// (8-bit CSI 0x9B among them) to the admin's screen.
std::string printable(std::string_view text);

}  // namespace gsadmin

#endif  // GSADMIN_CONSOLE_PRINTABLE_H_
