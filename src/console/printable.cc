#include "console/printable.h"

namespace gsadmin {

std::string printable(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  return result;
}

}  // namespace gsadmin
