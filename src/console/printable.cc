#include "console/printable.h"

#include <cstddef>

namespace gsadmin {
namespace {

bool isContinuation(unsigned char byte) {
  return byte >= 0x80 && byte <= 0xBF;
}

// Length of the well-formed UTF-8 sequence (2 to 4 bytes) that starts at
// text[at], or 0 when none does. Overlong forms, surrogates and code points
// above U+10FFFF are not well formed.
size_t utf8SequenceLength(std::string_view text, size_t at) {
  auto byte = [&](size_t i) {
    return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0;
  };
  unsigned char lead = byte(0);
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (!isContinuation(byte(i))) return 0;
  }
  return length;
}

}  // namespace

std::string printable(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    unsigned char byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
      result += (byte < 0x20 || byte == 0x7F) ? '?' : static_cast<char>(byte);
      ++i;
      continue;
    }
    size_t length = utf8SequenceLength(text, i);
    if (length == 0) {
      // A byte of no UTF-8 sequence: a C1 control, or a Latin-1 letter.
      result += byte <= 0x9F ? '?' : static_cast<char>(byte);
      ++i;
    } else if (byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      result += '?';  // U+0080 to U+009F, the C1 controls in UTF-8
      i += 2;
    } else {
      result.append(text, i, length);
      i += length;
    }
  }
  return result;
}

}  // namespace gsadmin
