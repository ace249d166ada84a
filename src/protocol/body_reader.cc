#include "protocol/body_reader.h"

#include <cstring>

namespace gsadmin {

uint32_t BodyReader::u32AtEnd(size_t offset) const {
  uint32_t value = 0;
  // Byte by byte up to the end; an offset near the top of size_t never wraps.
  for (size_t i = 0; i < 4 && offset < length_ && i < length_ - offset; ++i) {
    value |= static_cast<uint32_t>(data_[offset + i]) << (8 * i);
  }
  return value;
}

std::string BodyReader::textAt(size_t offset, size_t maxLength) const {
  if (offset >= length_) return {};
  size_t available = length_ - offset;
  size_t limit = available < maxLength ? available : maxLength;
  const uint8_t* start = data_ + offset;
  const void* nul = std::memchr(start, 0, limit);
  size_t size = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - start) : limit;
  return std::string(reinterpret_cast<const char*>(start), size);
}

bool BodyReader::hasPrefixAt(size_t offset, const char* prefix) const {
  size_t size = std::strlen(prefix);
  if (offset > length_ || length_ - offset < size) return false;
  return std::memcmp(data_ + offset, prefix, size) == 0;
}

}  // namespace gsadmin
