#include "console/log_entry.h"

namespace gsadmin {

std::string_view logKindName(LogKind kind) {
  switch (kind) {
    case LogKind::kConsole:
      return "console";
    case LogKind::kCommand:
      return "command";
    case LogKind::kConnect:
      return "connect";
    case LogKind::kDisconnect:
      return "disconnect";
    case LogKind::kChat:
      return "chat";
    case LogKind::kMessage:
      return "message";
    case LogKind::kJoin:
      return "join";
    case LogKind::kQuit:
      return "quit";
    case LogKind::kKill:
      return "kill";
    case LogKind::kSanction:
      return "sanction";
    case LogKind::kScript:
      return "script";
    case LogKind::kError:
      return "error";
    case LogKind::kWarning:
      return "warning";
  }
  return "console";
}

LogKind logKindOfLine(std::string_view text) {
  if (text.starts_with("* ")) return LogKind::kCommand;
  if (text.starts_with("ERROR: ")) return LogKind::kError;
  if (text.starts_with("LUA: ")) return LogKind::kScript;
  return LogKind::kConsole;
}

LogKind logKindOfErrorLine(std::string_view text) {
  return text.starts_with("gsadmin: warning: ") ? LogKind::kWarning : LogKind::kError;
}

LogEntry& LogEntry::add(std::string_view key, std::string_view value) {
  if (fieldCount < kMaxLogFields) fields[fieldCount++] = LogField{key, value, 0, false};
  return *this;
}

LogEntry& LogEntry::add(std::string_view key, int64_t value) {
  if (fieldCount < kMaxLogFields) fields[fieldCount++] = LogField{key, {}, value, true};
  return *this;
}

}  // namespace gsadmin
