#include "support/text_file.h"

#include <gtest/gtest.h>

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

std::string readSourceFile(const std::string& relativePath) {
  std::optional<std::string> text =
      readTextFile(std::string(GSADMIN_SOURCE_DIR) + "/" + relativePath);
  EXPECT_TRUE(text) << relativePath;
  return text.value_or("");
}

}  // namespace gsadmin::testing
