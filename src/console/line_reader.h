#ifndef GSADMIN_CONSOLE_LINE_READER_H_
#define GSADMIN_CONSOLE_LINE_READER_H_

#include <string>
#include <string_view>
#include <vector>

#include "console/input_source.h"

namespace gsadmin {

// Lines from a descriptor that is not a terminal (a pipe, a file): no prompt,
// no echo. The caller's loop waits for fd() to be readable and then calls
// readAvailable(), which reads once and so never blocks. The descriptor is
// borrowed; it stays open.
class LineReader : public InputSource {
 public:
  // A longer line is refused whole: one refusal in its place, and reading
  // goes on after its newline.
  static constexpr size_t kMaxLineBytes = 64 * 1024;

  explicit LineReader(int fd) : fd_(fd) {}

  int fd() const override { return fd_; }

  // Call when fd() is readable. Reads what is there and returns the lines it
  // completes, oldest first, without "\n" or "\r\n". At the end of input (or
  // on a read error, such as a closed descriptor) a last line without a
  // newline is returned too, and atEnd() becomes true; after that nothing
  // is read.
  std::vector<InputLine> readAvailable() override;

  // Splits `bytes` as if they had just been read; `endOfInput` as at the end.
  // The reading half of readAvailable(), for callers with bytes in hand.
  std::vector<InputLine> accept(std::string_view bytes, bool endOfInput);

  bool atEnd() const override { return atEnd_; }

 private:
  int fd_;
  std::string partial_;      // bytes after the last newline
  bool discarding_ = false;  // the line being read is too long: dropped up to its newline
  bool atEnd_ = false;
};

}  // namespace gsadmin

#endif  // GSADMIN_CONSOLE_LINE_READER_H_
