#ifndef GSADMIN_STORAGE_DATABASE_PATH_H_
#define GSADMIN_STORAGE_DATABASE_PATH_H_

#include <optional>
#include <string>

namespace gsadmin {

// Why `path` cannot be the scripts' database, or nothing when it can: it
// must name a regular file, or nothing yet in an existing directory. A
// symbolic link is refused, never followed, and so is a device, a FIFO or a
// directory: SQLite would put its journal beside whatever the path names.
// The reason is one line that begins with the path.
std::optional<std::string> checkDatabasePath(const std::string& path);

}  // namespace gsadmin

#endif  // GSADMIN_STORAGE_DATABASE_PATH_H_
