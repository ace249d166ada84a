#ifndef GSADMIN_TESTS_SUPPORT_CLIENT_PROCESS_H_
#define GSADMIN_TESTS_SUPPORT_CLIENT_PROCESS_H_

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace gsadmin::testing {

// A fresh temporary directory, removed with everything in it on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // Writes `content` to path()/name.
  void write(const std::string& name, const std::string& content) const;

 private:
  std::string path_;
};

// The real gsadmin binary (or another program) running in its own temporary
// directory, with its standard output read line by line. The client's
// standard error goes to a file beside it; another program's is read with
// its standard output.
class ClientProcess {
 public:
  // The program's standard input: /dev/null, a pipe the test writes to, or
  // none at all (descriptor 0 closed).
  enum class Input { kDevNull, kPipe, kClosed };

  // Starts `program` with `args`; when `script` is given it is written to
  // script.lua in the working directory first. When `outputFile` is given,
  // standard output and error go to that file (created or truncated; e.g.
  // /dev/null) instead of a pipe, so a long run never blocks on a full pipe;
  // the line readers below then see no output. When `directory` is given
  // the process runs there instead (the caller owns it), so that a second
  // run finds what the first left. Standard input is /dev/null unless
  // `input` asks for a pipe.
  ClientProcess(const std::vector<std::string>& args, const std::optional<std::string>& script,
                const std::string& program = defaultBinary(),
                const std::optional<std::string>& outputFile = std::nullopt,
                const std::optional<std::string>& directory = std::nullopt,
                Input input = Input::kDevNull);
  // Kills the process and everything it started in its process group, if it
  // still runs.
  ~ClientProcess();
  ClientProcess(const ClientProcess&) = delete;
  ClientProcess& operator=(const ClientProcess&) = delete;

  static std::string defaultBinary();

  pid_t pid() const { return pid_; }
  const std::string& directory() const { return directory_; }

  // The next complete line (without its '\n'), or nothing after timeoutMs or
  // at the end of the output.
  std::optional<std::string> nextLine(int timeoutMs = 5000);
  // Reads lines until one contains `needle`; returns it, or nothing.
  std::optional<std::string> waitForLine(const std::string& needle, int timeoutMs = 5000);
  // Everything printed so far, complete lines and any trailing partial one.
  const std::string& output() const { return all_; }
  // Everything the client wrote to standard error so far (nothing for
  // another program or when an output file was given: it went there).
  std::string errorOutput() const;
  // Reads until the output ends (the process closed it) or timeoutMs passes.
  void readToEnd(int timeoutMs = 5000);

  // Waits for the process to end; its exit status, or -1 on timeout or when
  // it was killed by a signal.
  int waitExit(int timeoutMs = 5000);
  // Sends `signal` to the process alone, so a test sees how the process
  // itself handles it; the destructor kills the whole group.
  void kill(int signal);
  // Closes the reading end of the output pipe, as a reader that went away
  // would: the process's later writes to standard output fail.
  void closeOutput();

  // With Input::kPipe: writes `text` to the program's standard input, or
  // closes it (the program sees the end of its input).
  void writeInput(const std::string& text);
  void closeInput();

 private:
  bool readMore(int timeoutMs);
  std::string errorPath() const;

  TempDir dir_;
  std::string directory_;  // dir_ or the caller's
  pid_t pid_ = -1;
  int outFd_ = -1;
  int inFd_ = -1;  // writing end of the input pipe
  bool exited_ = false;
  int status_ = -1;
  std::string pending_;  // read but not yet returned as a line
  std::string all_;
};

}  // namespace gsadmin::testing

#endif  // GSADMIN_TESTS_SUPPORT_CLIENT_PROCESS_H_
