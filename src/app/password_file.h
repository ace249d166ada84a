#ifndef GSADMIN_APP_PASSWORD_FILE_H_
#define GSADMIN_APP_PASSWORD_FILE_H_

#include <optional>
#include <string>

namespace gsadmin {

// The admin password from the first line of the file at `path` (without its
// "\n" or "\r\n"), so that it never shows in the command line. Refused, with
// a one-line reason in *error, when the file cannot be opened, is readable by
// group or others (it would leak the password), or its first line is empty.
std::optional<std::string> readPasswordFile(const std::string& path, std::string* error);

}  // namespace gsadmin

#endif  // GSADMIN_APP_PASSWORD_FILE_H_
