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

// Reads the last `limit` lines of the history file at `path` into *lines,
// oldest first, empty lines and lines refused as too long skipped. A missing
// file is an empty history. False, with a one-line reason in *error, when
// something else is there: a link, a FIFO or device (never waited on), a
// directory, or a file that cannot be read. Such a history is then neither
// read nor saved over.
bool loadHistoryFile(const std::string& path, size_t limit, std::vector<std::string>* lines,
                     std::string* error);

// Replaces the file at `path` with `lines`, one per line, readable by the
// owner only (0600) whatever the umask. Missing parent directories are made
// (0700). The new file is written under a fresh name beside it (never
// through a link) and renamed over it, so the old file stays whole until the
// new one is complete. Refused when `path` holds something other than a
// regular file. False, with a one-line reason in *error, on failure.
bool saveHistoryFile(const std::string& path, const std::vector<std::string>& lines,
                     std::string* error);

}  // namespace gsadmin

#endif  // GSADMIN_CONSOLE_HISTORY_FILE_H_
