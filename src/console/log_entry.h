#ifndef GSADMIN_CONSOLE_LOG_ENTRY_H_
#define GSADMIN_CONSOLE_LOG_ENTRY_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace gsadmin {

// What a console line tells, for logs that machines read (docs/logging.md).
enum class LogKind {
  kConsole,     // anything else the client prints
  kCommand,     // an answer to a command, "* ..."
  kConnect,     // connected to the server
  kDisconnect,  // the connection ended or was lost
  kChat,        // a player's or the admin's public line
  kMessage,     // a private message
  kJoin,
  kQuit,
  kKill,      // a death, with its killer when there was one
  kSanction,  // a warning, kick, ban, tempban or unban
  kScript,    // a script's print, or the script layer's own line
  kError,
  kWarning,
};

// The name a log gives the kind: "chat", "join", ...
std::string_view logKindName(LogKind kind);

// The kind of a line that was printed without one, by its form: "* "
// answers are commands, "ERROR: " errors, "LUA: " the script layer's.
LogKind logKindOfLine(std::string_view text);
// The same for a line on standard error: "gsadmin: warning: " is a
// warning, anything else an error.
LogKind logKindOfErrorLine(std::string_view text);

// One field of an entry: a text (bytes as received; the formatter makes
// them valid) or a number.
struct LogField {
  std::string_view key;
  std::string_view text;
  int64_t number = 0;
  bool isNumber = false;
};

inline constexpr size_t kMaxLogFields = 6;

// One console line with its kind and the fields of what it tells. Views
// only: everything it points at must outlive the call it is passed to.
struct LogEntry {
  LogKind kind = LogKind::kConsole;
  std::string_view text;  // the line as the console shows it
  std::array<LogField, kMaxLogFields> fields{};
  size_t fieldCount = 0;

  LogEntry(LogKind k, std::string_view t) : kind(k), text(t) {}
  // Past kMaxLogFields a field is dropped: every caller stays below it.
  LogEntry& add(std::string_view key, std::string_view value);
  LogEntry& add(std::string_view key, int64_t value);
};

}  // namespace gsadmin

#endif  // GSADMIN_CONSOLE_LOG_ENTRY_H_
