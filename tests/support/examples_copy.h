#ifndef GSADMIN_TESTS_SUPPORT_EXAMPLES_COPY_H_
#define GSADMIN_TESTS_SUPPORT_EXAMPLES_COPY_H_

#include <string>

namespace gsadmin::testing {

// Copies the scripts and settings (*.lua, *.conf) of `examplesDir` into
// `dir`, so that a client run from there leaves its database there and not
// in the source tree.
void copyExamples(const std::string& examplesDir, const std::string& dir);

}  // namespace gsadmin::testing

#endif  // GSADMIN_TESTS_SUPPORT_EXAMPLES_COPY_H_
