#ifndef GSADMIN_PLATFORM_ERROR_OUTPUT_H_
#define GSADMIN_PLATFORM_ERROR_OUTPUT_H_

#include <string_view>

namespace gsadmin {

// Writes `detail` as one line on standard error: every control byte in it
// (a newline of a multi-line Lua message, an escape from network text)
// becomes '?', and a line break is added. Standard output is not touched. A
// failed write is ignored.
void printErrorDetail(std::string_view detail);

}  // namespace gsadmin

#endif  // GSADMIN_PLATFORM_ERROR_OUTPUT_H_
