#include "session/default_paths.h"

#include <filesystem>
#include <system_error>

#include "script/script_manager.h"
#include "storage/database.h"

namespace gsadmin {

std::string databasePathFor(const std::vector<std::string>& scriptPaths, bool directories) {
  if (scriptPaths.empty()) return databasePathForScript(ScriptManager::kScriptFileName);
  const std::string& first = scriptPaths.front();
  std::error_code error;
  if (directories && !first.empty() && first.back() != '/' &&
      std::filesystem::is_directory(first, error)) {
    return databasePathForScript(first + "/");
  }
  return databasePathForScript(first);
}

std::string journalPathFor(const std::vector<std::string>& scriptPaths, bool directories) {
  return besideDatabase(databasePathFor(scriptPaths, directories), kJournalFileName);
}

}  // namespace gsadmin
