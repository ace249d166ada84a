#include "panel/metrics_labels.h"

namespace gsadmin {

std::string labelValue(std::string_view value) {
  size_t end = value.size() > kMaxLabelBytes ? kMaxLabelBytes : value.size();
  // Back to the start of a character: continuation bytes are 10xxxxxx.
  if (end < value.size()) {
    while (end > 0 && (static_cast<unsigned char>(value[end]) & 0xC0) == 0x80) --end;
  }
  std::string text;
  for (char c : value.substr(0, end)) {
    if (c == '\\') {
      text += "\\\\";
    } else if (c == '"') {
      text += "\\\"";
    } else if (c == '\n') {
      text += "\\n";
    } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      text += '?';
    } else {
      text += c;
    }
  }
  return text;
}

}  // namespace gsadmin
