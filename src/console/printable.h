#ifndef GSADMIN_CONSOLE_PRINTABLE_H_
#define GSADMIN_CONSOLE_PRINTABLE_H_

#include <string>
#include <string_view>

namespace gsadmin {

// The text with every control byte (0x00-0x1F and 0x7F) replaced by '?'.
// Network text goes through this before it reaches the console, so a player
// cannot send terminal escape sequences to the admin's screen.
std::string printable(std::string_view text);

}  // namespace gsadmin

#endif  // GSADMIN_CONSOLE_PRINTABLE_H_
