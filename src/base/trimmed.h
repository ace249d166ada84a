#ifndef GSADMIN_BASE_TRIMMED_H_
#define GSADMIN_BASE_TRIMMED_H_

#include <string_view>

namespace gsadmin {

// `text` without the spaces and tabs around it (as HTTP reads a header's
// value, and the console a typed word).
inline std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace gsadmin

#endif  // GSADMIN_BASE_TRIMMED_H_
