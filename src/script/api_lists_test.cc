// The API table against every other list of the API's functions: the
// scripting reference, the editor annotations, the luacheck settings and the
// language server's settings.

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "events/events.h"
#include "script/api.h"
#include "support/text_file.h"

namespace gsadmin {
namespace {

// The first group of every match of `pattern` in `text`.
std::set<std::string> matches(const std::string& text, const std::regex& pattern) {
  std::set<std::string> found;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern);
       it != std::sregex_iterator(); ++it) {
    found.insert((*it)[1].str());
  }
  return found;
}

std::set<std::string> tableFunctions() {
  std::set<std::string> names;
  for (const ApiFunction& function : apiFunctions()) names.insert(function.name);
  return names;
}

TEST(ApiListsTest, ReferenceDocumentsEveryFunction) {
  // ### gettok(text, ...) or | `getPlayerName(id)` | ...; the events, also
  // written as headings, begin with "on".
  std::regex entry("\n(?:### |\\| `)((?!on[A-Z])[a-z][A-Za-z]*)\\(");
  EXPECT_EQ(matches("\n" + testing::readSourceFile("docs/scripting.md"), entry), tableFunctions());
}

TEST(ApiListsTest, AnnotationsDeclareEveryFunction) {
  std::regex declaration("\nfunction ([A-Za-z]+)\\(");
  EXPECT_EQ(matches("\n" + testing::readSourceFile("lua/gsadmin.d.lua"), declaration),
            tableFunctions());
}

TEST(ApiListsTest, LuacheckKnowsEveryFunction) {
  std::string settings = testing::readSourceFile(".luacheckrc");
  size_t start = settings.find("local api = {");
  ASSERT_NE(start, std::string::npos);
  size_t end = settings.find("\n}", start);
  ASSERT_NE(end, std::string::npos);
  std::regex quoted("\"([A-Za-z]+)\"");
  EXPECT_EQ(matches(settings.substr(start, end - start), quoted), tableFunctions());
}

TEST(ApiListsTest, LanguageServerTakesTheAnnotationsAndNoStaleName) {
  std::string settings = testing::readSourceFile(".luarc.json");
  EXPECT_NE(settings.find("\"workspace.library\": [\"lua/gsadmin.d.lua\"]"), std::string::npos)
      << settings;
  // Every other name it lists as a global is a function or an event.
  std::set<std::string> known = tableFunctions();
  for (const EventInfo& info : kEventTable) known.insert(std::string(info.name));
  size_t start = settings.find("\"diagnostics.globals\"");
  ASSERT_NE(start, std::string::npos);
  std::string globals = settings.substr(start, settings.find(']', start) - start);
  for (const std::string& name : matches(globals, std::regex("\"([A-Za-z]+)\""))) {
    EXPECT_TRUE(known.count(name)) << name;
  }
}

}  // namespace
}  // namespace gsadmin
