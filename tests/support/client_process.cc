#include "support/client_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/clock.h"
#include "support/child_setup.h"

namespace gsadmin::testing {
namespace {

int64_t nowMs() {
  return static_cast<int64_t>(SystemClock().nowMs());
}

}  // namespace

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "gsadmin-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    std::abort();
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void TempDir::write(const std::string& name, const std::string& content) const {
  std::ofstream out(path_ + "/" + name, std::ios::binary);
  out << content;
}

std::string ClientProcess::defaultBinary() {
  return GSADMIN_BINARY_PATH;
}

ClientProcess::ClientProcess(const std::vector<std::string>& args,
                             const std::optional<std::string>& script, const std::string& program,
                             const std::optional<std::string>& outputFile,
                             const std::optional<std::string>& directory, Input input)
    : directory_(directory.value_or(dir_.path())) {
  if (script) std::ofstream(directory_ + "/script.lua", std::ios::binary) << *script;
  int fds[2];
  if (outputFile) {
    fds[0] = -1;
    fds[1] = open(outputFile->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fds[1] < 0) std::abort();
  } else if (pipe2(fds, O_CLOEXEC) != 0) {
    std::abort();
  }
  // The client's standard error has a file of its own unless one file takes
  // everything, so the output lines are exactly what it printed on stdout.
  // Other programs (the simulator logs on stderr) keep one stream.
  int errFd = fds[1];
  if (!outputFile && program == defaultBinary()) {
    errFd = open(errorPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (errFd < 0) std::abort();
  }
  // Never the test runner's own input: a client would read the terminal.
  int inFds[2] = {-1, -1};
  if (input == Input::kPipe) {
    if (pipe2(inFds, O_CLOEXEC) != 0) std::abort();
  } else if (input == Input::kDevNull) {
    inFds[0] = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (inFds[0] < 0) std::abort();
  }
  // The child leads a process group of its own, so that killing the group
  // also ends whatever it started (a script's simulator and client).
  pid_ = fork();
  if (pid_ == 0) {
    setpgid(0, 0);
    if (inFds[0] >= 0) {
      dup2(inFds[0], STDIN_FILENO);
    } else {
      close(STDIN_FILENO);
    }
    dup2(fds[1], STDOUT_FILENO);
    dup2(errFd, STDERR_FILENO);
    if (chdir(directory_.c_str()) != 0) _exit(127);
    useTemporaryHome(dir_.path());
    runProgram(program, args);
  }
  if (pid_ < 0) std::abort();
  setpgid(pid_, pid_);  // also here, so the group exists before any kill below
  close(fds[1]);
  if (errFd != fds[1]) close(errFd);
  if (inFds[0] >= 0) close(inFds[0]);
  outFd_ = fds[0];
  inFd_ = inFds[1];
}

std::string ClientProcess::errorPath() const {
  return dir_.path() + "/stderr.txt";
}

std::string ClientProcess::errorOutput() const {
  std::ifstream in(errorPath(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ClientProcess::~ClientProcess() {
  if (!exited_ && pid_ > 0) {
    ::kill(-pid_, SIGKILL);
    waitExit(5000);
  }
  if (outFd_ >= 0) close(outFd_);
  closeInput();
}

void ClientProcess::writeInput(const std::string& text) {
  // A program that has ended must fail the test, not kill it.
  std::signal(SIGPIPE, SIG_IGN);
  size_t written = 0;
  while (inFd_ >= 0 && written < text.size()) {
    ssize_t n = write(inFd_, text.data() + written, text.size() - written);
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
}

void ClientProcess::closeInput() {
  if (inFd_ >= 0) close(inFd_);
  inFd_ = -1;
}

void ClientProcess::closeOutput() {
  if (outFd_ >= 0) close(outFd_);
  outFd_ = -1;
}

bool ClientProcess::readMore(int timeoutMs) {
  if (outFd_ < 0) return false;
  pollfd entry{outFd_, POLLIN, 0};
  if (poll(&entry, 1, timeoutMs) <= 0) return false;
  char buffer[4096];
  ssize_t n = read(outFd_, buffer, sizeof(buffer));
  if (n <= 0) {
    close(outFd_);
    outFd_ = -1;
    return false;
  }
  pending_.append(buffer, static_cast<size_t>(n));
  all_.append(buffer, static_cast<size_t>(n));
  return true;
}

std::optional<std::string> ClientProcess::nextLine(int timeoutMs) {
  int64_t end = nowMs() + timeoutMs;
  for (;;) {
    size_t newline = pending_.find('\n');
    if (newline != std::string::npos) {
      std::string line = pending_.substr(0, newline);
      pending_.erase(0, newline + 1);
      return line;
    }
    if (outFd_ < 0) return std::nullopt;
    int64_t left = std::max<int64_t>(end - nowMs(), 0);
    // Even a wait of 0 takes what has arrived, or a pipe nobody empties
    // fills up and stops the process at its next write.
    if (!readMore(static_cast<int>(left)) && left == 0) return std::nullopt;
  }
}

std::optional<std::string> ClientProcess::waitForLine(const std::string& needle, int timeoutMs) {
  int64_t end = nowMs() + timeoutMs;
  for (;;) {
    int64_t left = end - nowMs();
    if (left <= 0) return std::nullopt;
    std::optional<std::string> line = nextLine(static_cast<int>(left));
    if (!line) return std::nullopt;
    if (line->find(needle) != std::string::npos) return line;
  }
}

void ClientProcess::readToEnd(int timeoutMs) {
  int64_t end = nowMs() + timeoutMs;
  while (outFd_ >= 0) {
    int64_t left = end - nowMs();
    if (left <= 0) return;
    readMore(static_cast<int>(left));
  }
}

int ClientProcess::waitExit(int timeoutMs) {
  if (exited_) return status_;
  int64_t end = nowMs() + timeoutMs;
  for (;;) {
    int status = 0;
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      exited_ = true;
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      return status_;
    }
    if (nowMs() >= end) return -1;
    usleep(5000);
  }
}

void ClientProcess::kill(int signal) {
  if (!exited_ && pid_ > 0) ::kill(pid_, signal);
}

}  // namespace gsadmin::testing
