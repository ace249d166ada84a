#ifndef GSADMIN_CONSOLE_CONSOLE_H_
#define GSADMIN_CONSOLE_CONSOLE_H_

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "console/json_log.h"
#include "console/line_outlet.h"
#include "console/log_entry.h"

namespace gsadmin {

class TerminalInput;

// Every line the client shows goes through one Console: server events,
// script output and diagnostics. Callers pass a whole line without its
// newline; network text must already have gone through printable(). The
// session owns the real console; tests record lines in memory. A console
// that later keeps an input prompt or stamps times changes only here.
class Console {
 public:
  virtual ~Console() = default;

  // One line on standard output: `text`, then "\n", then a flush.
  virtual void line(std::string_view text) = 0;

  // One diagnostic line on standard error.
  virtual void errorLine(std::string_view text) = 0;

  // One line on standard output that tells an event: `entry.text` as
  // line() prints it, with its kind and fields for the JSON log. A console
  // that keeps no log prints the text.
  virtual void entry(const LogEntry& entry) { line(entry.text); }
};

class LogFile;

// How the console's own streams show lines: as text, or one JSON object a
// line (json_log.h).
enum class LogFormat { kText, kJson };

// The console of the process: standard output and standard error. Writes
// the bytes as given, embedded NULs included. A stream that is not the
// terminal is written through a LineOutlet: a reader that stops reading
// costs lines, never the caller's time, and the count of lines lost is
// said on standard error once it reads again.
class StdioConsole : public Console {
 public:
  StdioConsole(std::FILE* out = stdout, std::FILE* err = stderr);
  ~StdioConsole() override;

  void line(std::string_view text) override;
  void errorLine(std::string_view text) override;
  void entry(const LogEntry& entry) override;

  // JSON on both streams; the timestamps option then has no effect.
  void setFormat(LogFormat format) { format_ = format; }
  // Every line, of either stream, also goes to `file` as JSON.
  void setLogFile(std::unique_ptr<LogFile> file);

  // From now on every line, on either stream, starts with the local time:
  // "[2026-12-07 14:03:22] ".
  void setTimestamps(bool on) { timestamps_ = on; }

  // While `terminal` is set, lines for the terminal go through its
  // printAbove(), which keeps the prompt and the half-typed line below them
  // (error lines too, when standard error is that terminal as well). The
  // terminal must outlive this console or be unset first; null unsets.
  void setTerminal(TerminalInput* terminal) { terminal_ = terminal; }

 private:
  void emit(std::FILE* stream, const LogEntry& entry);
  // Says how many lines the outlet dropped, once their reader is back.
  void reportDropped();
  // `stampable`: the line takes the timestamp when it is on (a JSON line
  // has its own time).
  void write(std::FILE* stream, std::string_view text, bool stampable = true);

  std::FILE* out_;
  std::FILE* err_;
  bool timestamps_ = false;
  LogFormat format_ = LogFormat::kText;
  std::unique_ptr<LogFile> logFile_;
  JsonLogFormatter formatter_;
  std::string json_;  // the line being formatted, kept for its capacity
  TerminalInput* terminal_ = nullptr;
  LineOutlet outlet_;
};

// The process-wide standard console, for code that runs with no session
// (a script loaded on its own); the session owns its own StdioConsole.
Console& standardConsole();

// `text` up to its first NUL: what a C string of it would print.
std::string_view untilNul(std::string_view text);

}  // namespace gsadmin

#endif  // GSADMIN_CONSOLE_CONSOLE_H_
