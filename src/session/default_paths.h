#ifndef GSADMIN_SESSION_DEFAULT_PATHS_H_
#define GSADMIN_SESSION_DEFAULT_PATHS_H_

#include <string>
#include <vector>

namespace gsadmin {

// Where the client keeps its files when no option names them: beside the
// first script, or inside it when it is a directory of scripts
// (`directories`); beside script.lua when there is none.

// The scripts' database, "script.db".
std::string databasePathFor(const std::vector<std::string>& scriptPaths, bool directories);
// The journal of records waiting for a shared database.
std::string journalPathFor(const std::vector<std::string>& scriptPaths, bool directories);

}  // namespace gsadmin

#endif  // GSADMIN_SESSION_DEFAULT_PATHS_H_
