#ifndef GSADMIN_PLATFORM_WRITE_ALL_H_
#define GSADMIN_PLATFORM_WRITE_ALL_H_

#include <string_view>

namespace gsadmin {

// Writes every byte of `bytes` to `fd`, going on after a signal or a short
// write; false when the descriptor fails first (errno says why).
bool writeAll(int fd, std::string_view bytes);

}  // namespace gsadmin

#endif  // GSADMIN_PLATFORM_WRITE_ALL_H_
