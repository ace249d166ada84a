#include "platform/random_bytes.h"

#include <sys/random.h>
#include <sys/types.h>

#include <cerrno>

namespace gsadmin {

bool fillRandom(void* data, size_t size) {
  auto* bytes = static_cast<unsigned char*>(data);
  size_t filled = 0;
  while (filled < size) {
    ssize_t n = getrandom(bytes + filled, size - filled, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    filled += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace gsadmin
