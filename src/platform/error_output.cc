#include "platform/error_output.h"

#include <cstdio>
#include <string>

namespace gsadmin {

void printErrorDetail(std::string_view detail) {
  std::string line(detail);
  for (char& c : line) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace gsadmin
