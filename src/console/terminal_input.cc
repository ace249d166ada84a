#include "console/terminal_input.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

#include "console/history_file.h"

namespace gsadmin {
namespace {

// A paste of the longest line in one call, without letting a flood of input
// starve the loop.
constexpr size_t kMaxReadsPerCall = 2;
constexpr size_t kReadBytes = LineEditor::kMaxLineBytes + 1;

enum class InputState { kNothing, kReadable, kGone };

InputState inputState() {
  pollfd pfd{STDIN_FILENO, POLLIN, 0};
  if (poll(&pfd, 1, 0) <= 0) return InputState::kNothing;
  if ((pfd.revents & POLLIN) != 0) return InputState::kReadable;
  // Hung up with nothing left to read: waiting on it again would spin.
  if ((pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return InputState::kGone;
  return InputState::kNothing;
}

// Columns `text` takes: one per character, not per UTF-8 byte.
int columnsOf(std::string_view text) {
  int columns = 0;
  for (char c : text) columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return columns;
}

// The terminal's width; without one, lines are taken never to wrap.
int terminalColumns() {
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return INT_MAX / 4;
}

void writeOut(const std::string& bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

// Keys arrive one by one, unechoed; while `ctrlCIsAKey`, Ctrl-C arrives as
// a key too, so it can clear a line. Ctrl-Z and Ctrl-\\ still signal; output
// is processed as before.
termios editingMode(termios mode, bool ctrlCIsAKey) {
  mode.c_iflag &= ~static_cast<tcflag_t>(BRKINT | ICRNL | INPCK | ISTRIP | IXON);
  mode.c_cflag |= CS8;
  mode.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | IEXTEN);
  mode.c_cc[VMIN] = 1;
  mode.c_cc[VTIME] = 0;
  if (ctrlCIsAKey) mode.c_cc[VINTR] = _POSIX_VDISABLE;
  return mode;
}

}  // namespace

std::unique_ptr<TerminalInput> TerminalInput::open(TerminalInputOptions options,
                                                   std::string* error) {
  if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
    *error = "standard input and output are not a terminal";
    return nullptr;
  }
  auto input = std::make_unique<TerminalInput>(OpenKey{}, std::move(options));
  if (tcgetattr(STDIN_FILENO, &input->saved_) != 0) {
    *error = "cannot read the terminal's settings";
    return nullptr;
  }
  input->loadHistory();
  termios editing = editingMode(input->saved_, false);
  if (tcsetattr(STDIN_FILENO, TCSADRAIN, &editing) != 0) {
    *error = "cannot set the terminal's settings";
    return nullptr;
  }
  input->open_ = true;
  input->redraw();
  return input;
}

TerminalInput::TerminalInput(OpenKey, TerminalInputOptions options)
    : options_(std::move(options)), editor_(options_.historyLimit) {}

TerminalInput::~TerminalInput() {
  close();
}

void TerminalInput::loadHistory() {
  if (!options_.historyPath) return;
  std::vector<std::string> lines;
  std::string error;
  if (!loadHistoryFile(*options_.historyPath, options_.historyLimit, &lines, &error)) {
    // Printed before the prompt exists; nothing will be saved over it.
    std::fprintf(stderr, "history: %s; history is not read or kept\n", error.c_str());
    options_.historyPath.reset();
    return;
  }
  for (const std::string& line : lines) rememberLine(line);
}

int TerminalInput::fd() const {
  return STDIN_FILENO;
}

std::vector<InputLine> TerminalInput::readAvailable() {
  std::vector<InputLine> lines;
  for (size_t reads = 0; open_ && !atEnd_ && reads < kMaxReadsPerCall; ++reads) {
    InputState state = inputState();
    if (state == InputState::kGone) atEnd_ = true;
    if (state != InputState::kReadable) break;
    char buffer[kReadBytes];
    ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) break;
    if (n <= 0) atEnd_ = true;  // the terminal went away
    for (ssize_t i = 0; i < n && !atEnd_; ++i) {
      if (editor_.text().empty() && !lineMark_ && markSource_) lineMark_ = markSource_();
      handle(editor_.feed(buffer[i]), &lines);
      // A line erased to nothing is begun again by the next key.
      if (editor_.text().empty()) lineMark_.reset();
    }
  }
  if (open_ && !atEnd_) redraw();
  return lines;
}

void TerminalInput::handle(LineEditor::Result result, std::vector<InputLine>* lines) {
  switch (result) {
    case LineEditor::Result::kLineDone: {
      // The finished line stays on the screen; the next prompt goes below it.
      std::string line = editor_.takeLine();
      if (draw(line, line.size()) > 0) writeOut("\n");
      cursorRow_ = 0;
      rememberLine(line);
      lines->push_back({std::move(line), {}, lineMark_});
      lineMark_.reset();
      break;
    }
    case LineEditor::Result::kTooLong:
      lines->push_back(
          {{},
           "line too long (over " + std::to_string(LineEditor::kMaxLineBytes) + " bytes): ignored",
           std::nullopt});
      lineMark_.reset();
      break;
    case LineEditor::Result::kEnd:
      erasePrompt();
      atEnd_ = true;
      endRequested_ = true;
      break;
    case LineEditor::Result::kCompletions: {
      std::string list;
      for (const std::string& word : editor_.completions()) {
        list += (list.empty() ? "" : "  ") + word;
      }
      printAbove(list);
      break;
    }
    case LineEditor::Result::kClearScreen:
      writeOut("\033[H\033[2J");
      cursorRow_ = 0;
      break;
    case LineEditor::Result::kEditing:
    case LineEditor::Result::kCancelled:
      break;  // drawn once the bytes at hand are all handled
  }
}

void TerminalInput::rememberLine(const std::string& line) {
  if (options_.mayRemember && !options_.mayRemember(line)) return;
  editor_.addHistory(line);
}

void TerminalInput::printAbove(std::string_view line) {
  if (open_ && !atEnd_) erasePrompt();
  std::string text(line);
  text.push_back('\n');
  writeOut(text);
  if (open_ && !atEnd_) redraw();
}

void TerminalInput::erasePrompt() {
  std::string out = "\r";
  if (cursorRow_ > 0) out += "\033[" + std::to_string(cursorRow_) + "A";
  out += "\033[J";
  writeOut(out);
  cursorRow_ = 0;
}

int TerminalInput::draw(const std::string& text, size_t cursor) {
  int width = terminalColumns();
  int promptColumns = columnsOf(options_.prompt);
  int end = promptColumns + columnsOf(text);
  int at = promptColumns + columnsOf(std::string_view(text).substr(0, cursor));
  std::string out = "\r";
  if (cursorRow_ > 0) out += "\033[" + std::to_string(cursorRow_) + "A";
  out += "\033[J" + options_.prompt + text;
  // At the last column the terminal holds the cursor there until the next
  // character; a newline puts it at the start of the next row for certain.
  if (end > 0 && end % width == 0) out += "\n";
  int rowsUp = end / width - at / width;
  if (rowsUp > 0) out += "\033[" + std::to_string(rowsUp) + "A";
  out += "\r";
  if (at % width > 0) out += "\033[" + std::to_string(at % width) + "C";
  writeOut(out);
  cursorRow_ = at / width;
  return at % width;
}

void TerminalInput::setWaiting(bool waiting) {
  if (!open_ || atEnd_ || waiting == waiting_) return;
  waiting_ = waiting;
  termios mode = editingMode(saved_, waiting);
  tcsetattr(STDIN_FILENO, TCSANOW, &mode);
}

void TerminalInput::terminalResized() {
  if (open_ && !atEnd_) redraw();
}

void TerminalInput::setMarkSource(std::function<uint64_t()> source) {
  markSource_ = std::move(source);
}

void TerminalInput::setCompleter(Completer completer) {
  editor_.setCompleter(std::move(completer));
}

bool TerminalInput::saveHistory(std::string* error) {
  if (!options_.historyPath) return true;
  return saveHistoryFile(*options_.historyPath, editor_.history(), error);
}

void TerminalInput::close() {
  if (!open_) return;
  open_ = false;
  // No prompt is left behind for the lines printed after this.
  if (!atEnd_) erasePrompt();
  tcsetattr(STDIN_FILENO, TCSADRAIN, &saved_);
  std::string error;
  if (!saveHistory(&error)) std::fprintf(stderr, "history: %s\n", error.c_str());
}

}  // namespace gsadmin
