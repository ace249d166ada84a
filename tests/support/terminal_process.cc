#include "support/terminal_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "support/child_setup.h"

namespace gsadmin::testing {
namespace {

using Clock = std::chrono::steady_clock;

int millisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::max<int64_t>(0, left.count()));
}

// Kills every process of the session `session`, whatever its process group:
// a program with job control puts its foreground jobs in groups of their own.
void killSession(pid_t session) {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", ignored)) {
    std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // "pid (name) state ppid pgrp session ...": the name may hold anything.
    size_t close = text.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream fields(text.substr(close + 1));
    char state = 0;
    long parent = 0, group = 0, owner = 0;
    if (!(fields >> state >> parent >> group >> owner) || owner != session) continue;
    kill(static_cast<pid_t>(std::atol(name.c_str())), SIGKILL);
  }
}

}  // namespace

TerminalProcess::TerminalProcess(const std::string& program, const std::vector<std::string>& args,
                                 const std::string& home) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) {
    std::perror("pipe2");
    std::abort();
  }
  winsize size{};
  size.ws_row = 24;
  size.ws_col = 80;
  pid_ = forkpty(&master_, nullptr, nullptr, &size);
  if (pid_ < 0) {
    std::perror("forkpty");
    std::abort();
  }
  if (pid_ == 0) {
    // dup2 clears close-on-exec on its copy, but does nothing when the read
    // end already is descriptor 3.
    if (pipeFds[0] == 3) {
      fcntl(3, F_SETFD, 0);
    } else {
      dup2(pipeFds[0], 3);
    }
    useTemporaryHome(home);
    setenv("TERM", "xterm", 1);
    unsetenv("INPUTRC");
    unsetenv("EDITRC");
    runProgram(program, args);
  }
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  close(pipeFds[0]);
  control_ = pipeFds[1];
}

TerminalProcess::~TerminalProcess() {
  if (control_ >= 0) close(control_);
  if (!exited_ && pid_ > 0) {
    // forkpty made the program a session and process group leader: the
    // group also holds whatever it started.
    kill(-pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (pid_ > 0) killSession(pid_);
  if (master_ >= 0) close(master_);
}

void TerminalProcess::type(const std::string& keys) {
  if (write(master_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) {
    std::perror("write to terminal");
  }
}

void TerminalProcess::control(const std::string& line) {
  std::string text = line + "\n";
  if (write(control_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
    std::perror("write to control pipe");
  }
}

bool TerminalProcess::readMore(int timeoutMs) {
  pollfd pfd{master_, POLLIN, 0};
  if (poll(&pfd, 1, timeoutMs) <= 0) return false;
  char buffer[4096];
  ssize_t n = read(master_, buffer, sizeof buffer);
  if (n <= 0) return false;  // EIO once the program has closed the terminal
  screen_.feed(std::string_view(buffer, static_cast<size_t>(n)));
  return true;
}

bool TerminalProcess::waitFor(const std::function<bool(const ScreenModel&)>& done, int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done(screen_)) {
    int left = millisecondsLeft(deadline);
    if (left == 0) return false;
    if (!readMore(std::min(left, 50)) && millisecondsLeft(deadline) == 0) return done(screen_);
  }
  return true;
}

bool TerminalProcess::waitForRow(const std::string& row, int timeoutMs) {
  return waitFor(
      [&](const ScreenModel& screen) {
        std::vector<std::string> rows = screen.rows();
        return std::find(rows.begin(), rows.end(), row) != rows.end();
      },
      timeoutMs);
}

bool TerminalProcess::waitForCtrlCAsKey(int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    // The master side reports the settings the program gave its terminal.
    termios settings{};
    if (tcgetattr(master_, &settings) == 0 && settings.c_cc[VINTR] == _POSIX_VDISABLE) return true;
    if (millisecondsLeft(deadline) == 0) return false;
    if (!readMore(10)) usleep(1000);
  }
}

std::string TerminalProcess::dump() const {
  std::string text;
  for (const std::string& row : screen_.rows()) text += "|" + row + "\n";
  return text;
}

int TerminalProcess::waitExit(int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!exited_) {
    int status = 0;
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      exited_ = true;
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      break;
    }
    if (millisecondsLeft(deadline) == 0) return -1;
    // Keep draining the terminal so the program never blocks writing to it.
    if (!readMore(20)) usleep(10 * 1000);
  }
  return status_;
}

}  // namespace gsadmin::testing
