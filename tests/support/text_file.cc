#include "support/text_file.h"

#include <fstream>
#include <sstream>

namespace gsadmin::testing {

std::optional<std::string> readTextFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in.good()) return std::nullopt;
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace gsadmin::testing
