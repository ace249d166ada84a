#ifndef GSADMIN_APP_CONFIG_FILE_H_
#define GSADMIN_APP_CONFIG_FILE_H_

#include <string>
#include <string_view>

#include "app/options.h"

namespace gsadmin {

// Sets `options` from a configuration text: one `key = value` per line,
// where a key is a long option's name without "--" (not help, version,
// config or enroll-totp). Blanks around keys and values are dropped; blank lines and lines
// that start with '#' are skipped. A flag is set by its key alone or by
// "true", cleared by "false". Empty on success; otherwise "LINE: reason",
// about the first bad line, and `options` may be partly set.
std::string applyConfigText(std::string_view text, Options& options);

// Reads the file at `path` and applies it as above. The file is opened
// without following a link or waiting on a FIFO, must be a regular file of
// at most 64 KiB. Empty on success; otherwise one line that names the file
// (and the line): "PATH:LINE: unknown key 'x'".
std::string readConfigFile(const std::string& path, Options& options);

}  // namespace gsadmin

#endif  // GSADMIN_APP_CONFIG_FILE_H_
