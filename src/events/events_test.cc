// The event table against itself and against every other list of events:
// the editor annotations, the scripting reference and the test scripts.

#include "events/events.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <string>

#include "support/text_file.h"

namespace gsadmin {
namespace {

// Event name -> number of arguments, for every match of `pattern`, whose
// first group is the name and second the comma-separated argument list.
std::map<std::string, size_t> documentedEvents(const std::string& text, const std::regex& pattern) {
  std::map<std::string, size_t> events;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern);
       it != std::sregex_iterator(); ++it) {
    std::string arguments = (*it)[2].str();
    size_t count =
        arguments.find_first_not_of(' ') == std::string::npos
            ? 0
            : 1 + static_cast<size_t>(std::count(arguments.begin(), arguments.end(), ','));
    events[(*it)[1].str()] = count;
  }
  return events;
}

std::map<std::string, size_t> tableEvents() {
  std::map<std::string, size_t> events;
  for (const EventInfo& info : kEventTable) events[std::string(info.name)] = info.shape.size();
  return events;
}

// Every quoted 'onXxx' or "onXxx" name in `text`.
std::set<std::string> quotedEventNames(const std::string& text) {
  static const std::regex kQuoted("[\"'](on[A-Z][A-Za-z]*)[\"']");
  std::set<std::string> names;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), kQuoted);
       it != std::sregex_iterator(); ++it) {
    names.insert((*it)[1].str());
  }
  return names;
}

TEST(EventTableTest, NamesAreUniqueAndShapesWellFormed) {
  std::set<std::string_view> names;
  for (const EventInfo& info : kEventTable) {
    EXPECT_TRUE(names.insert(info.name).second) << info.name;
    EXPECT_EQ(info.name.substr(0, 2), "on");
    EXPECT_EQ(info.shape.find_first_not_of("is"), std::string_view::npos) << info.name;
  }
}

TEST(EventTableTest, ArgumentsMustMatchTheShape) {
  const EventArgument number{false, 1, {}};
  const EventArgument text{true, 0, "x"};
  struct Case {
    Event event;
    std::vector<EventArgument> arguments;
    bool matches;
  };
  const Case cases[] = {
      {Event::kStart, {}, true},
      {Event::kStart, {number}, false},
      {Event::kPlayerChat, {number, text}, true},
      {Event::kPlayerChat, {text, number}, false},
      {Event::kPlayerChat, {number}, false},
      {Event::kPlayerHealthChange, {number, number, number}, true},
      {Event::kAdminChat, {number}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(matchesShape(c.event, c.arguments), c.matches) << eventInfo(c.event).name;
  }
}

TEST(EventTableTest, AnnotationsListEveryEventWithItsArguments) {
  // ---| "onPlayerQuit"  # (playerId, reason) ...
  std::regex line("---\\| \"(on[A-Za-z]+)\"\\s+# \\(([^)]*)\\)");
  EXPECT_EQ(documentedEvents(testing::readSourceFile("lua/gsadmin.d.lua"), line), tableEvents());
}

TEST(EventTableTest, ReferenceListsEveryEventWithItsArguments) {
  // | `onPlayerQuit` | player id, reason | ... |
  std::regex row("\\| `(on[A-Za-z]+)` \\|([^|]*)\\|");
  EXPECT_EQ(documentedEvents(testing::readSourceFile("docs/scripting.md"), row), tableEvents());
}

TEST(EventTableTest, TestScriptsNameOnlyKnownEvents) {
  std::set<std::string> known;
  for (const EventInfo& info : kEventTable) known.insert(std::string(info.name));
  // The fuzzing probe handles every event, all with its function onAny.
  std::set<std::string> probed =
      quotedEventNames(testing::readSourceFile("tests/fuzz/probe_script.h"));
  probed.erase("onAny");
  EXPECT_EQ(probed, known);
  for (const char* path :
       {"tests/soak/expected_events.cc", "examples/script.lua", "examples/bad_words.lua",
        "examples/team_kill.lua", "examples/welcome_back.lua", "examples/announcer.lua",
        "examples/kill_feed.lua", "tests/e2e/script_signals_test.cc",
        "src/session/script_reload_test.cc"}) {
    for (const std::string& name : quotedEventNames(testing::readSourceFile(path))) {
      EXPECT_TRUE(known.count(name)) << name << " in " << path;
    }
  }
}

}  // namespace
}  // namespace gsadmin
