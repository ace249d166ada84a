#ifndef GSADMIN_PROTOCOL_BODY_READER_H_
#define GSADMIN_PROTOCOL_BODY_READER_H_

#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

namespace gsadmin {

// Bounded reads of one message body: the datagram without its id byte.
// Every read past the end of the body yields 0 (numbers) or stops the text,
// as if the body were followed by zeros, so a short datagram is never read
// beyond its length. The bytes must remain live while the reader is in use.
class BodyReader {
 public:
  BodyReader(const uint8_t* data, size_t length) : data_(data), length_(length) {}

  size_t length() const { return length_; }
  const uint8_t* data() const { return data_; }

  uint8_t byteAt(size_t offset) const { return offset < length_ ? data_[offset] : 0; }
  int8_t signedByteAt(size_t offset) const { return static_cast<int8_t>(byteAt(offset)); }
  // Little-endian. Inline, as every position update reads four.
  uint32_t u32At(size_t offset) const {
    if (offset > length_ || length_ - offset < 4) return u32AtEnd(offset);
    const uint8_t* p = data_ + offset;
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
  }
  // IEEE 754 single precision, little-endian.
  float floatAt(size_t offset) const { return std::bit_cast<float>(u32At(offset)); }

  // The bytes from `offset` up to the first NUL, the end of the body, or
  // `maxLength` bytes, whichever comes first.
  std::string textAt(size_t offset, size_t maxLength = std::numeric_limits<size_t>::max()) const;

  // True when the body holds `prefix` at `offset`, byte for byte.
  bool hasPrefixAt(size_t offset, const char* prefix) const;

 private:
  // u32At where the body ends within the four bytes.
  uint32_t u32AtEnd(size_t offset) const;

  const uint8_t* data_;
  size_t length_;
};

}  // namespace gsadmin

#endif  // GSADMIN_PROTOCOL_BODY_READER_H_
