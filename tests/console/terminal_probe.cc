// A small program for the terminal tests: line editing on its terminal, and
// an asynchronous line printed above the prompt for every line written to
// descriptor 3. Typed lines are echoed as "typed: LINE"; lines containing the
// first argument are kept out of the history; refused lines show as
// "refused: REASON". Ends at Ctrl-D or at the end of descriptor 3.

#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "console/history_file.h"
#include "console/terminal_input.h"

int main(int argc, char** argv) {
  std::string secret = argc > 1 ? argv[1] : "";
  gsadmin::TerminalInputOptions options;
  options.historyPath =
      gsadmin::defaultHistoryPath(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
  options.mayRemember = [secret](const std::string& line) {
    return secret.empty() || line.find(secret) == std::string::npos;
  };
  std::string error;
  auto input = gsadmin::TerminalInput::open(options, &error);
  if (!input) {
    std::fprintf(stderr, "terminal_probe: %s\n", error.c_str());
    return 1;
  }
  input->setCompleter([](std::string_view, std::string_view) {
    return std::vector<std::string>{".help", ".kick", ".quit", "Bob", "Bobby", "alice"};
  });
  input->setWaiting(true);  // nothing here runs long: Ctrl-C is always a key

  std::string control;
  while (!input->atEnd()) {
    pollfd fds[2] = {{input->fd(), POLLIN, 0}, {3, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) continue;
    if (fds[0].revents != 0) {
      for (const gsadmin::InputLine& line : input->readAvailable()) {
        input->printAbove(line.refusal.empty() ? "typed: " + line.text
                                               : "refused: " + line.refusal);
      }
    }
    if (fds[1].revents != 0) {
      char buffer[256];
      ssize_t n = read(3, buffer, sizeof buffer);
      if (n <= 0) break;
      control.append(buffer, static_cast<size_t>(n));
      for (size_t eol; (eol = control.find('\n')) != std::string::npos;) {
        input->printAbove("event: " + control.substr(0, eol));
        control.erase(0, eol + 1);
      }
    }
  }
  input->close();
  return 0;
}
