#ifndef GSADMIN_CONSOLE_INPUT_SOURCE_H_
#define GSADMIN_CONSOLE_INPUT_SOURCE_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "console/completion.h"

namespace gsadmin {

// One line of the operator's input, or the place of a line refused whole.
struct InputLine {
  std::string text;     // without its newline
  std::string refusal;  // when not empty: no line, and this one-line reason says why
  // The mark source's value when the operator began typing the line; none
  // where a line comes whole (a pipe, a file).
  std::optional<uint64_t> mark;
  bool operator==(const InputLine&) const = default;
};

// Where the operator's typed lines come from: the terminal's line editor or
// a plain reader of a pipe or file. The session's loop waits for fd() to be
// readable (only while !atEnd()) and then calls readAvailable().
class InputSource {
 public:
  virtual ~InputSource() = default;

  virtual int fd() const = 0;
  // Returns the lines finished by the input available now, oldest first,
  // without their newline. Never waits for more.
  virtual std::vector<InputLine> readAvailable() = 0;
  // True once the input has ended; nothing more will be read.
  virtual bool atEnd() const = 0;
  // True once the operator ended the input to end the client (Ctrl-D or
  // Ctrl-C on an empty line), as ".quit" does; not at the end of a pipe.
  virtual bool endRequested() const { return false; }

  // For a line editor: what Tab completes (see Completer), and a changed
  // window size. Plain readers ignore both.
  virtual void setCompleter(Completer /*completer*/) {}
  // For a line editor: asked when the operator begins a line; its value
  // comes back with the line (InputLine::mark).
  virtual void setMarkSource(std::function<uint64_t()> /*source*/) {}
  virtual void terminalResized() {}
  // For a line editor: true while the loop only waits for input, when Ctrl-C
  // is a key of the editor's; false while the loop works (a script may run),
  // when Ctrl-C is the terminal's SIGINT as it is without an editor.
  virtual void setWaiting(bool /*waiting*/) {}
};

}  // namespace gsadmin

#endif  // GSADMIN_CONSOLE_INPUT_SOURCE_H_
