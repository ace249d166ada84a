#ifndef GSADMIN_APP_PASSWORD_FILE_H_
#define GSADMIN_APP_PASSWORD_FILE_H_

#include <optional>
#include <string>

namespace gsadmin {

// The admin password from the first line of the file at `path` (without its
// "\n" or "\r\n"), so that it never shows in the command line. Refused, with
// a one-line reason in *error, when the file cannot be opened, is a symbolic
// link or not a regular file (a FIFO would block the start), is readable by
// group or others (it would leak the password), or its first line is empty
// or longer than 4096 bytes.
std::optional<std::string> readPasswordFile(const std::string& path, std::string* error);

}  // namespace gsadmin

#endif  // GSADMIN_APP_PASSWORD_FILE_H_
