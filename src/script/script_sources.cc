// What a --script path names: one file, or the scripts of a directory.

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "script/script_manager.h"

namespace gsadmin {

bool ScriptManager::expand(const std::string& path, std::vector<ScriptSource>* sources) {
  std::error_code error;
  if (!std::filesystem::is_directory(path, error)) {
    // A file, or nothing at all: loading it says which.
    sources->push_back({path, path});
    return true;
  }
  std::vector<std::string> names;
  std::filesystem::directory_iterator entries(path, error);
  if (error) return false;
  for (const auto& entry : entries) {
    std::string name = entry.path().filename().string();
    bool isLua = name.size() > 4 && name.compare(name.size() - 4, 4, ".lua") == 0;
    // A directory named *.lua is no script; links and other files are
    // left for the loader to refuse in its own words.
    if (isLua && !entry.is_directory(error)) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());  // byte order
  std::string prefix = path.back() == '/' ? path : path + "/";
  for (const std::string& name : names) sources->push_back({prefix + name, name});
  return true;
}

}  // namespace gsadmin
