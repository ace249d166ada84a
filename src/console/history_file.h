#ifndef GSADMIN_CONSOLE_HISTORY_FILE_H_
#define GSADMIN_CONSOLE_HISTORY_FILE_H_

#include <optional>
#include <string>
#include <vector>

namespace gsadmin {

// Where the typed-line history lives: $XDG_STATE_HOME/gsadmin/history when
// XDG_STATE_HOME is an absolute path, else $HOME/.local/state/gsadmin/history;
// none when neither is usable. Arguments are the variables' values or null.
std::optional<std::string> defaultHistoryPath(const char* xdgStateHome, const char* home);

// The last `limit` lines of the history file at `path`, oldest first, empty
// lines skipped. A missing or unreadable file is an empty history.
std::vector<std::string> loadHistoryFile(const std::string& path, size_t limit);

// Replaces the file at `path` with `lines`, one per line, readable by the
// owner only (0600) whatever the umask. Missing parent directories are made
// (0700). The old file stays whole until the new one is complete. False, with
// a one-line reason in *error, on failure.
bool saveHistoryFile(const std::string& path, const std::vector<std::string>& lines,
                     std::string* error);

}  // namespace gsadmin

#endif  // GSADMIN_CONSOLE_HISTORY_FILE_H_
