#ifndef GSADMIN_CONSOLE_TERMINAL_INPUT_H_
#define GSADMIN_CONSOLE_TERMINAL_INPUT_H_

#include <termios.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/input_source.h"
#include "console/line_editor.h"

namespace gsadmin {

struct TerminalInputOptions {
  std::string prompt = "> ";
  // Where history is loaded from and saved to; none keeps history in memory
  // only. See defaultHistoryPath().
  std::optional<std::string> historyPath;
  size_t historyLimit = 1000;
  // Asked for every finished line (and every line loaded from the file);
  // false keeps it out of the history and the file, e.g. a line holding the
  // password. Empty: every non-empty line is remembered.
  std::function<bool(const std::string& line)> mayRemember;
};

// Line editing on the terminal of standard input and output: a prompt, cursor
// keys, history (up/down; Ctrl-R recalls the last line containing the text
// typed so far, again for older ones) and Tab completion; see LineEditor for
// the keys. It never blocks: the caller's loop waits for fd() to be readable
// and then calls readAvailable(). While it is open, every other line for the
// terminal must go through printAbove(), which keeps the prompt and the
// half-typed line below it. One TerminalInput per terminal at a time.
class TerminalInput : public InputSource {
 public:
  // Puts the terminal in editing mode and shows the prompt. Fails (with a
  // one-line reason in *error) when standard input or output is not a
  // terminal. A history file that cannot be read is not an error: a line on
  // standard error says the history is not kept, and it is then kept in
  // memory only.
  static std::unique_ptr<TerminalInput> open(TerminalInputOptions options, std::string* error);
  ~TerminalInput() override;  // same as close()
  TerminalInput(const TerminalInput&) = delete;
  TerminalInput& operator=(const TerminalInput&) = delete;

  // The descriptor to wait on for readability: standard input.
  int fd() const override;

  // Call when fd() is readable. Feeds the bytes available now to the editor
  // and returns the lines finished by them, oldest first, without their
  // newline; a line longer than LineEditor::kMaxLineBytes comes back as a
  // refusal instead. Never waits for more input.
  std::vector<InputLine> readAvailable() override;

  // True once the operator ended input (Ctrl-D, or Ctrl-C, on an empty line)
  // or the terminal went away; the prompt is gone then and readAvailable()
  // returns nothing.
  bool atEnd() const override { return atEnd_; }
  // True when it was the operator's key that ended input.
  bool endRequested() const override { return endRequested_; }

  // Prints `line` (a newline is added) above the prompt and redraws the
  // prompt with the half-typed line and cursor as they were.
  void printAbove(std::string_view line);

  // Whether Ctrl-C reaches the editor as a key (true) or makes the terminal
  // send SIGINT (false, as after open()). A caller that may run long work
  // between reads sets it only around its wait for input, so that Ctrl-C
  // still interrupts that work.
  void setWaiting(bool waiting) override;

  // Call after SIGWINCH: the prompt is drawn again for the new width.
  void terminalResized() override;

  // The words Tab completes: local commands, player names. Replaces the
  // previous list; matching ignores ASCII case.
  void setCompleter(Completer completer) override;
  void setMarkSource(std::function<uint64_t()> source) override;

  // Writes the history file now (also done by close()). False, with a reason
  // in *error, when it cannot be written; there is nothing to do without a
  // history path.
  bool saveHistory(std::string* error);

  // Saves the history, removes the prompt and restores the terminal as it
  // was before open(). Idempotent. A history that cannot be saved is
  // reported on standard error, as the caller may no longer be printing.
  void close();

 private:
  struct OpenKey {};  // only open() makes instances

 public:
  TerminalInput(OpenKey, TerminalInputOptions options);

 private:
  void loadHistory();
  // Acts on what one byte did to the line; finished lines go to *lines.
  void handle(LineEditor::Result result, std::vector<InputLine>* lines);
  void rememberLine(const std::string& line);
  // Draws the prompt and `text` from the prompt's first row, with the
  // cursor after `cursor` bytes of it. Returns the cursor's column.
  int draw(const std::string& text, size_t cursor);
  void redraw() { draw(editor_.text(), editor_.cursor()); }
  // Back to the prompt's first row, which is cleared from there down.
  void erasePrompt();

  TerminalInputOptions options_;
  LineEditor editor_;
  termios saved_{};    // the terminal's settings before open()
  int cursorRow_ = 0;  // rows the cursor is below the prompt's first row, as drawn
  bool open_ = false;
  bool waiting_ = false;  // Ctrl-C is a key, not SIGINT
  bool atEnd_ = false;
  bool endRequested_ = false;
  std::function<uint64_t()> markSource_;
  std::optional<uint64_t> lineMark_;  // taken when the line being typed began
};

}  // namespace gsadmin

#endif  // GSADMIN_CONSOLE_TERMINAL_INPUT_H_
