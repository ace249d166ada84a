// The settings file beside a script: its lines, its bounds and how it is
// opened.

#include "script/script_settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/client_process.h"
#include "support/recording_console.h"

namespace gsadmin {
namespace {

using testing::RecordingConsole;
using testing::TempDir;

// The value of `key` as a test sees it: "n:<number>", "s:<text>" or "-".
std::string shown(const ScriptSettings& settings, const std::string& key) {
  const SettingValue* value = settings.find(key);
  if (value == nullptr) return "-";
  if (value->isNumber) return "n:" + std::to_string(value->number);
  return "s:" + value->text;
}

struct ParseCase {
  const char* text;
  const char* key;
  const char* value;   // as shown()
  const char* errors;  // standard error
};

TEST(ScriptSettingsTest, ReadsKeyValueLinesAndReportsEachBadLineOnce) {
  const ParseCase cases[] = {
      {"name = Ann\n", "name", "s:Ann", ""},
      {"  name\t=  two words  \r\n", "name", "s:two words", ""},
      {"limit = 25\n", "limit", "n:25.000000", ""},
      {"ratio=-0.5", "ratio", "n:-0.500000", ""},
      {"hex = 0x10\n", "hex", "n:16.000000", ""},
      {"big = 1e999\n", "big", "s:1e999", ""},
      {"nan = nan\n", "nan", "s:nan", ""},
      {"mixed = 12abc\n", "mixed", "s:12abc", ""},
      {"empty =\n", "empty", "s:", ""},
      {"url = a=b # kept\n", "url", "s:a=b # kept", ""},
      {"quoted = \"x\"\n", "quoted", "s:\"x\"", ""},
      {"# comment = 1\n\n   \n#x\n", "comment", "-", ""},
      {"a.b-c_d = 1\n", "a.b-c_d", "n:1.000000", ""},
      {"twice = 1\ntwice = second\n", "twice", "s:second", ""},
      {"no equals sign\nk = v\n", "k", "s:v", "t.conf:1: expected key = value\n"},
      {"\n = v\n", "", "-", "t.conf:2: bad key (letters, digits, '_', '.' and '-')\n"},
      {"bad key = v\n", "bad key", "-", "t.conf:1: bad key (letters, digits, '_', '.' and '-')\n"},
      {"k = \x1b[2J\n", "k", "s:\x1b[2J", ""},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.text);
    RecordingConsole console;
    ScriptSettings settings;
    settings.parse(c.text, "t.conf", console);
    EXPECT_EQ(shown(settings, c.key), c.value);
    EXPECT_EQ(console.takeErrors(), c.errors);
    EXPECT_EQ(console.takeOutput(), "");
  }
}

TEST(ScriptSettingsTest, OverlongKeysAndValuesAreBadLines) {
  RecordingConsole console;
  ScriptSettings settings;
  std::string text = std::string(ScriptSettings::kMaxKeyBytes, 'k') + " = 1\n" +
                     std::string(ScriptSettings::kMaxKeyBytes + 1, 'k') + " = 2\n" +
                     "v = " + std::string(ScriptSettings::kMaxValueBytes, 'v') + "\n" +
                     "w = " + std::string(ScriptSettings::kMaxValueBytes + 1, 'w') + "\n";
  settings.parse(text, "t.conf", console);
  EXPECT_EQ(settings.size(), 2u);
  EXPECT_EQ(console.takeErrors(), "t.conf:2: key too long\nt.conf:4: value too long\n");
}

TEST(ScriptSettingsTest, TheFileBesideTheScript) {
  EXPECT_EQ(settingsPathForScript("stats.lua"), "stats.conf");
  EXPECT_EQ(settingsPathForScript("/srv/bots/stats.lua"), "/srv/bots/stats.conf");
  EXPECT_EQ(settingsPathForScript("bots/run"), "bots/run.conf");
  EXPECT_EQ(settingsPathForScript("bots/.lua"), "bots/.lua.conf");
}

TEST(ScriptSettingsTest, LoadsOnlyASmallRegularFileThatIsNoLink) {
  TempDir dir;
  RecordingConsole console;
  std::string script = dir.path() + "/s.lua";
  std::string conf = dir.path() + "/s.conf";

  // No file: no settings and no line.
  EXPECT_EQ(loadScriptSettings(script, console).size(), 0u);
  EXPECT_EQ(console.takeErrors(), "");

  dir.write("s.conf", "a = 1\nb\n");
  EXPECT_EQ(loadScriptSettings(script, console).size(), 1u);
  EXPECT_EQ(console.takeErrors(), conf + ":2: expected key = value\n");

  dir.write("real.conf", "a = 1\n");
  ASSERT_EQ(unlink(conf.c_str()), 0);
  ASSERT_EQ(symlink((dir.path() + "/real.conf").c_str(), conf.c_str()), 0);
  EXPECT_EQ(loadScriptSettings(script, console).size(), 0u);
  EXPECT_EQ(console.takeErrors(), conf + ": a symbolic link, not read\n");

  // A FIFO with no writer would block a plain open.
  ASSERT_EQ(unlink(conf.c_str()), 0);
  ASSERT_EQ(mkfifo(conf.c_str(), 0600), 0);
  EXPECT_EQ(loadScriptSettings(script, console).size(), 0u);
  EXPECT_EQ(console.takeErrors(), conf + ": not a regular file, not read\n");

  ASSERT_EQ(unlink(conf.c_str()), 0);
  std::string large = "a = 1\n";
  large.resize(ScriptSettings::kMaxFileBytes, '#');
  dir.write("s.conf", large);
  EXPECT_EQ(loadScriptSettings(script, console).size(), 1u);
  dir.write("s.conf", large + "\n");
  EXPECT_EQ(loadScriptSettings(script, console).size(), 0u);
  EXPECT_EQ(console.takeErrors(), conf + ": larger than 65536 bytes, not read\n");
}

}  // namespace
}  // namespace gsadmin
