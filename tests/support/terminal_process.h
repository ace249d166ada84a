#ifndef GSADMIN_TESTS_SUPPORT_TERMINAL_PROCESS_H_
#define GSADMIN_TESTS_SUPPORT_TERMINAL_PROCESS_H_

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "support/screen_model.h"

namespace gsadmin::testing {

// A program running on a real pseudo-terminal (80x24, TERM=xterm) with HOME
// and XDG_STATE_HOME under `home`, so it writes nowhere else. Descriptor 3
// of the program is the read end of a control pipe the test writes to.
class TerminalProcess {
 public:
  TerminalProcess(const std::string& program, const std::vector<std::string>& args,
                  const std::string& home);
  ~TerminalProcess();  // kills the program if it still runs
  TerminalProcess(const TerminalProcess&) = delete;
  TerminalProcess& operator=(const TerminalProcess&) = delete;

  // Writes `keys` to the terminal as if typed.
  void type(const std::string& keys);
  // Writes `line` and a newline to the control pipe.
  void control(const std::string& line);

  // Reads output until `done` holds for the screen or timeoutMs passes;
  // returns whether it held.
  bool waitFor(const std::function<bool(const ScreenModel&)>& done, int timeoutMs = 5000);
  // Reads output until some row equals `row`.
  bool waitForRow(const std::string& row, int timeoutMs = 5000);

  // Reads output until the program's terminal delivers Ctrl-C as a key
  // rather than as SIGINT (a line editor's setting while it waits for input);
  // returns whether it did within timeoutMs.
  bool waitForCtrlCAsKey(int timeoutMs = 5000);

  const ScreenModel& screen() const { return screen_; }
  // The screen's rows joined by newlines, for failure messages.
  std::string dump() const;

  // Waits for the program to end; its exit status, or -1 on timeout or signal.
  int waitExit(int timeoutMs = 5000);

 private:
  bool readMore(int timeoutMs);

  pid_t pid_ = -1;
  int master_ = -1;
  int control_ = -1;
  bool exited_ = false;
  int status_ = -1;
  ScreenModel screen_;
};

}  // namespace gsadmin::testing

#endif  // GSADMIN_TESTS_SUPPORT_TERMINAL_PROCESS_H_
