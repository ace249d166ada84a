#include "support/examples_copy.h"

#include <filesystem>

namespace gsadmin::testing {

void copyExamples(const std::string& examplesDir, const std::string& dir) {
  namespace fs = std::filesystem;
  for (const fs::directory_entry& entry : fs::directory_iterator(examplesDir)) {
    std::string extension = entry.path().extension().string();
    if (entry.is_regular_file() && (extension == ".lua" || extension == ".conf")) {
      fs::copy_file(entry.path(), dir + "/" + entry.path().filename().string());
    }
  }
}

}  // namespace gsadmin::testing
