#include "console/terminal_input.h"

#include <editline/readline.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console/completion.h"
#include "console/history_file.h"

namespace gsadmin {
namespace {

// The editing library calls back through plain functions, so they find the
// open instance here. Set by open(), cleared by close().
TerminalInput* current = nullptr;

// Enough for any paste without letting a flood of input starve the loop.
constexpr int kMaxBytesPerRead = 4096;

enum class InputState { kNothing, kReadable, kGone };

InputState inputState() {
  pollfd pfd{STDIN_FILENO, POLLIN, 0};
  if (poll(&pfd, 1, 0) <= 0) return InputState::kNothing;
  if ((pfd.revents & POLLIN) != 0) return InputState::kReadable;
  // Hung up with nothing left to read: waiting on it again would spin.
  if ((pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return InputState::kGone;
  return InputState::kNothing;
}

// Candidates for the completion being made, handed out one by one.
std::vector<std::string> pendingCompletions;
size_t nextCompletion = 0;

char* completionGenerator(const char* /*text*/, int state) {
  if (state == 0) nextCompletion = 0;
  if (nextCompletion >= pendingCompletions.size()) return nullptr;
  // The library frees what it is given with free().
  return strdup(pendingCompletions[nextCompletion++].c_str());
}

// The editor's own Ctrl-R (incremental search) reads the keys of the search
// itself, blocking the caller's loop until the search ends. Ctrl-R here
// searches back from the text typed so far in one keystroke, so input never
// blocks.
void bindHistorySearch() {
  char command[] = "bind ^R ed-search-prev-history";
  rl_parse_and_bind(command);
}

}  // namespace

std::unique_ptr<TerminalInput> TerminalInput::open(TerminalInputOptions options,
                                                   std::string* error) {
  if (current != nullptr) {
    *error = "the terminal is already in use by another line editor";
    return nullptr;
  }
  if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
    *error = "standard input and output are not a terminal";
    return nullptr;
  }
  auto input = std::make_unique<TerminalInput>(OpenKey{}, std::move(options));
  current = input.get();

  rl_instream = stdin;
  rl_outstream = stdout;
  // Signals stay with the caller's loop; the library must not install handlers.
  rl_catch_signals = 0;
  rl_attempted_completion_function = &TerminalInput::onComplete;
  using_history();
  stifle_history(static_cast<int>(input->options_.historyLimit));
  if (input->options_.historyPath) {
    for (std::string& line :
         loadHistoryFile(*input->options_.historyPath, input->options_.historyLimit)) {
      input->rememberLine(line);
    }
  }
  std::fflush(stdout);
  rl_callback_handler_install(input->options_.prompt.c_str(), &TerminalInput::onLine);
  bindHistorySearch();
  input->open_ = true;
  return input;
}

TerminalInput::TerminalInput(OpenKey, TerminalInputOptions options)
    : options_(std::move(options)) {}

TerminalInput::~TerminalInput() {
  close();
}

int TerminalInput::fd() const {
  return STDIN_FILENO;
}

std::vector<std::string> TerminalInput::readAvailable() {
  finished_.clear();
  for (int n = 0; open_ && !atEnd_ && n < kMaxBytesPerRead; ++n) {
    InputState state = inputState();
    if (state == InputState::kGone) atEnd_ = true;
    if (state != InputState::kReadable) break;
    size_t before = finished_.size();
    rl_callback_read_char();
    if (finished_.size() != before && !atEnd_) {
      // Without a fresh install the editor shows no prompt until the next
      // key and keeps the finished text in its buffer, where a redraw from
      // printAbove() would show it again.
      rl_callback_handler_remove();
      rl_callback_handler_install(options_.prompt.c_str(), &TerminalInput::onLine);
    }
  }
  return std::move(finished_);
}

void TerminalInput::onLine(char* line) {
  TerminalInput* self = current;
  if (self == nullptr) {
    std::free(line);
    return;
  }
  if (line == nullptr) {
    // Ctrl-D on an empty line, or the terminal hung up. The prompt's row is
    // cleared so that later output starts on a clean row.
    self->atEnd_ = true;
    std::fputs("\r\033[K", stdout);
    std::fflush(stdout);
    return;
  }
  std::string text(line);
  std::free(line);
  self->rememberLine(text);
  self->finished_.push_back(std::move(text));
}

void TerminalInput::rememberLine(const std::string& line) {
  if (line.empty()) return;
  if (options_.mayRemember && !options_.mayRemember(line)) return;
  // Repeating the last line adds nothing worth stepping through.
  if (!history_.empty() && history_.back() == line) return;
  history_.push_back(line);
  if (history_.size() > options_.historyLimit) history_.erase(history_.begin());
  add_history(line.c_str());
}

void TerminalInput::printAbove(std::string_view line) {
  if (open_ && !atEnd_) {
    // Up to the prompt's first row, clear from there down, print, and let
    // the editor draw the prompt and the typed text afresh below.
    int rowsUp = cursorRowInInput();
    std::fputc('\r', stdout);
    if (rowsUp > 0) std::fprintf(stdout, "\033[%dA", rowsUp);
    std::fputs("\033[J", stdout);
  }
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
  if (open_ && !atEnd_) rl_forced_update_display();
}

int TerminalInput::cursorRowInInput() const {
  winsize size{};
  int columns = 0;
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0) columns = size.ws_col;
  if (columns <= 0) return 0;  // width unknown: assume no wrapping
  // Columns before the cursor: one per character, not per UTF-8 byte.
  int width = 0;
  for (char c : options_.prompt) width += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  for (int i = 0; rl_line_buffer != nullptr && i < rl_point && rl_line_buffer[i] != '\0'; ++i) {
    width += (static_cast<unsigned char>(rl_line_buffer[i]) & 0xC0) != 0x80;
  }
  return width / columns;
}

void TerminalInput::terminalResized() {
  if (open_ && !atEnd_) rl_resize_terminal();
}

void TerminalInput::setCompletionWords(std::vector<std::string> words) {
  completionWords_ = std::move(words);
}

char** TerminalInput::onComplete(const char* text, int /*start*/, int /*end*/) {
  // No fallback to file names: only the caller's words make sense here.
  rl_attempted_completion_over = 1;
  if (current == nullptr) return nullptr;
  pendingCompletions = completionsFor(text, current->completionWords_);
  return rl_completion_matches(text, completionGenerator);
}

bool TerminalInput::saveHistory(std::string* error) {
  if (!options_.historyPath) return true;
  return saveHistoryFile(*options_.historyPath, history_, error);
}

void TerminalInput::close() {
  if (!open_) return;
  open_ = false;
  rl_callback_handler_remove();
  // No prompt is left behind for the lines printed after this.
  if (!atEnd_) std::fputs("\r\033[K", stdout);
  std::fflush(stdout);
  clear_history();
  current = nullptr;
  std::string error;
  if (!saveHistory(&error)) std::fprintf(stderr, "history: %s\n", error.c_str());
}

}  // namespace gsadmin
