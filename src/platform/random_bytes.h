#ifndef GSADMIN_PLATFORM_RANDOM_BYTES_H_
#define GSADMIN_PLATFORM_RANDOM_BYTES_H_

#include <cstddef>

namespace gsadmin {

// Fills `size` bytes at `data` from the kernel's random source (for
// secrets: session tokens, salts, one-time secrets); false when it gave
// none.
bool fillRandom(void* data, size_t size);

}  // namespace gsadmin

#endif  // GSADMIN_PLATFORM_RANDOM_BYTES_H_
