#include <gtest/gtest.h>

#include "console/completion.h"
#include "support/session_harness.h"

namespace gsadmin {
namespace {

using testing::SessionHarness;

constexpr char kScript[] = R"(
function greet(rest) end
addConsoleCommand("greet", "greet", "says hello")
)";

// What Tab offers at the console, as the line editor keeps it: the
// session's candidates that start with the word, sorted.
TEST(ConsoleCompletionTest, OffersWhatTheCommandsNextArgumentTakes) {
  SessionHarness harness{std::string(kScript)};
  harness.connect();
  harness.addPlayer(1, "Alice");
  harness.addPlayer(3, "Bob");
  harness.addPlayer(5, "Bobby");
  harness.addPlayer(7, "Big Ben");
  AdminSession& session = harness.session();
  // Recorded, not on the server: one this run, one by an earlier run.
  session.moderation()->history().visitStarted("Zoe", "", 100);
  session.database().run(
      "INSERT INTO gs_players (name_key, name, first_seen, last_seen) VALUES ('zak', 'Zak', 1, 1)",
      {});
  std::string script = session.scripts().all().front()->name;

  struct Case {
    const char* before;
    const char* word;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"", ".wa", {".warn"}},
      {"", ".gr", {".greet"}},
      {"", ".re", {".reload", ".report", ".reports"}},
      {".kick ", "B", {"Big Ben", "Bob", "Bobby"}},
      {".kick Big ", "", {"Ben"}},
      {".kick Big Ben ", "", {}},
      {".kick ", "Zo", {}},
      {".seen ", "z", {"Zak", "Zoe"}},
      {".seen ", "", {"Alice", "Big Ben", "Bob", "Bobby", "Zak", "Zoe"}},
      {".tempban ", "Zo", {"Zoe"}},
      {".tempban Bob ", "", {}},
      {".tempban Big Ben 1h ", "", {}},
      {".msg ", "al", {"Alice"}},
      {".msg Alice ", "", {}},
      {".admin ", "", {"add", "remove"}},
      {".admin add ", "Al", {"Alice"}},
      {".admin add Alice ", "", {"1", "2", "3"}},
      {".admin remove ", "Z", {"Zak", "Zoe"}},
      {".reload ", "", {script}},
      {".reload x ", "", {}},
      {".unload ", "", {script}},
      {".lua ", "@", {"@" + script}},
      {".lua ", "", {}},
      {".load ", "", {}},
      {".greet ", "", {}},
      {"hello ", "Al", {"Alice"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(completionsFor(c.word, session.consoleCompletions(c.before, c.word)), c.expected)
        << "[" << c.before << "|" << c.word << "]";
  }
}

}  // namespace
}  // namespace gsadmin
