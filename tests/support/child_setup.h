#ifndef GSADMIN_TESTS_SUPPORT_CHILD_SETUP_H_
#define GSADMIN_TESTS_SUPPORT_CHILD_SETUP_H_

#include <string>
#include <vector>

namespace gsadmin::testing {

// For a forked child before it runs a program: HOME and the XDG base
// directories point into `home` (a test's temporary directory), so nothing
// the program keeps lands outside it.
void useTemporaryHome(const std::string& home);

// Runs `program` with `args` in place of the child; exits 127 if it cannot.
[[noreturn]] void runProgram(const std::string& program, const std::vector<std::string>& args);

}  // namespace gsadmin::testing

#endif  // GSADMIN_TESTS_SUPPORT_CHILD_SETUP_H_
