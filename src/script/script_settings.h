#ifndef GSADMIN_SCRIPT_SCRIPT_SETTINGS_H_
#define GSADMIN_SCRIPT_SCRIPT_SETTINGS_H_

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "console/console.h"

namespace gsadmin {

// One value of a settings file: a number when the whole text reads as a
// finite number, else the text.
struct SettingValue {
  bool isNumber = false;
  double number = 0;
  std::string text;
};

// The settings a script reads with getSetting, from the file beside it:
// lines "key = value", blank lines and lines starting with '#' ignored.
class ScriptSettings {
 public:
  static constexpr size_t kMaxFileBytes = 64 * 1024;
  static constexpr size_t kMaxKeyBytes = 128;
  static constexpr size_t kMaxValueBytes = 4096;

  // Adds the settings of `text`, the contents of `fileName`; a later key
  // replaces an earlier one. A bad line is skipped, with one line
  // "FILE:LINE: reason" on `console`'s standard error.
  void parse(std::string_view text, std::string_view fileName, Console& console);

  // The value of `key`, or null; it lives as long as these settings.
  const SettingValue* find(std::string_view key) const;

  size_t size() const { return values_.size(); }

 private:
  std::map<std::string, SettingValue, std::less<>> values_;
};

// "stats.conf" for "stats.lua", in the script's directory; a name without
// ".lua" gets ".conf" added.
std::string settingsPathForScript(const std::string& scriptPath);

// The settings of the script at `scriptPath`. No file: none, silently. A
// file that is a link, not a regular file, larger than kMaxFileBytes or
// unreadable: none, with one line on standard error. Opening never blocks
// (a FIFO is refused).
ScriptSettings loadScriptSettings(const std::string& scriptPath, Console& console);

}  // namespace gsadmin

#endif  // GSADMIN_SCRIPT_SCRIPT_SETTINGS_H_
