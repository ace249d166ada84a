#ifndef GSADMIN_STORAGE_DATABASE_URI_H_
#define GSADMIN_STORAGE_DATABASE_URI_H_

#include <optional>
#include <string>

namespace gsadmin {

// Why the PostgreSQL connection URI `uri` cannot be used, or nothing when
// it can: it must parse as a connection URI, and must not hold a password
// (in its user part or as a "password" parameter), which anyone could read
// in the process list. One line.
std::optional<std::string> checkDatabaseUri(const std::string& uri);

// `uri` as messages may show it: a password in its user part or as a
// "password" parameter is left out.
std::string describeDatabaseUri(const std::string& uri);

}  // namespace gsadmin

#endif  // GSADMIN_STORAGE_DATABASE_URI_H_
