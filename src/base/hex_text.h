#ifndef GSADMIN_BASE_HEX_TEXT_H_
#define GSADMIN_BASE_HEX_TEXT_H_

#include <cstddef>
#include <string>

namespace gsadmin {

// `size` bytes as lower-case hex, two digits a byte (digests, tokens).
std::string lowerHex(const unsigned char* bytes, size_t size);

}  // namespace gsadmin

#endif  // GSADMIN_BASE_HEX_TEXT_H_
