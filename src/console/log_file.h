#ifndef GSADMIN_CONSOLE_LOG_FILE_H_
#define GSADMIN_CONSOLE_LOG_FILE_H_

#include <csignal>
#include <memory>
#include <string>
#include <string_view>

namespace gsadmin {

// A file the JSON log is appended to (--log-file), opened again when asked
// (SIGHUP, after logrotate moved it). It opens without following a link
// and without waiting for a FIFO's reader, and makes the file 0640.
class LogFile {
 public:
  // The file at `path`, or nothing with `*error` saying why. When
  // `reopenRequests` is given, a change of its count reopens the file before
  // the next write; it must outlive the file.
  static std::unique_ptr<LogFile> open(const std::string& path, std::string* error,
                                       const volatile std::sig_atomic_t* reopenRequests = nullptr);
  // Takes `fd`, as open() made it.
  LogFile(std::string path, int fd, const volatile std::sig_atomic_t* reopenRequests);
  ~LogFile();
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  // Appends `text` whole, or as much as the file takes. A failed reopen
  // keeps the old file and returns its reason once (empty otherwise), for
  // the caller to say.
  std::string write(std::string_view text);

 private:
  std::string path_;
  int fd_;
  const volatile std::sig_atomic_t* reopenRequests_;
  std::sig_atomic_t seenRequests_ = 0;
};

// The descriptor of `path` opened for appending as LogFile opens it, or -1
// with `*error` set.
int openLogDescriptor(const std::string& path, std::string* error);

}  // namespace gsadmin

#endif  // GSADMIN_CONSOLE_LOG_FILE_H_
