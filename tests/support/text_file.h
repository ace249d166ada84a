#ifndef GSADMIN_TESTS_SUPPORT_TEXT_FILE_H_
#define GSADMIN_TESTS_SUPPORT_TEXT_FILE_H_

#include <optional>
#include <string>

namespace gsadmin::testing {

// The whole of the file at `path`, byte for byte, or nothing when it cannot
// be opened.
std::optional<std::string> readTextFile(const std::string& path);

// The file at `relativePath` in the source tree; a test that cannot read it
// fails, and finds it empty.
std::string readSourceFile(const std::string& relativePath);

}  // namespace gsadmin::testing

#endif  // GSADMIN_TESTS_SUPPORT_TEXT_FILE_H_
