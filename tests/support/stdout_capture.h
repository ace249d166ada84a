#ifndef GSADMIN_TESTS_SUPPORT_STDOUT_CAPTURE_H_
#define GSADMIN_TESTS_SUPPORT_STDOUT_CAPTURE_H_

#include <string>

namespace gsadmin::testing {

// Redirects the process's standard output into a temporary file for its
// lifetime, so in-process tests can read the console lines exactly.
class StdoutCapture {
 public:
  StdoutCapture();
  ~StdoutCapture();  // restores the real standard output
  StdoutCapture(const StdoutCapture&) = delete;
  StdoutCapture& operator=(const StdoutCapture&) = delete;

  // What was printed since the previous take().
  std::string take();

 private:
  int savedFd_ = -1;
  int fileFd_ = -1;
  long offset_ = 0;
};

}  // namespace gsadmin::testing

#endif  // GSADMIN_TESTS_SUPPORT_STDOUT_CAPTURE_H_
