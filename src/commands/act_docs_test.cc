// The table of admin acts against the documents that list them: the
// moderation guide (every usage at the console and in game, with the
// levels in game), the manual page (every usage at the console) and the
// HTTP API (every action of the panel, with its level). An act added to
// the table fails here until it is documented.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "commands/act.h"
#include "commands/commands.h"
#include "support/text_file.h"

namespace gsadmin {
namespace {

std::string trimmed(const std::string& text) {
  size_t start = text.find_first_not_of(' ');
  if (start == std::string::npos) return "";
  return text.substr(start, text.find_last_not_of(' ') - start + 1);
}

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The cells of each row of the Markdown tables in `text`, keyed by the
// first cell: "| `.bans` | the bans |" gives "`.bans`" -> {"the bans"}.
// Only rows after a line that starts with `after` count, up to the
// first line after them that is no table row.
std::map<std::string, std::vector<std::string>> tableRows(const std::string& text,
                                                          const std::string& after = "") {
  std::map<std::string, std::vector<std::string>> rows;
  std::istringstream lines(text);
  std::string line;
  bool started = after.empty();
  while (std::getline(lines, line)) {
    if (!started) {
      started = line.starts_with(after);
      continue;
    }
    if (!line.starts_with('|')) {
      if (!after.empty() && !rows.empty()) break;
      continue;
    }
    std::vector<std::string> cells;
    std::istringstream cellText(line.substr(1));
    for (std::string cell; std::getline(cellText, cell, '|');) cells.push_back(trimmed(cell));
    if (cells.empty() || cells.front().starts_with("---")) continue;
    std::string first = cells.front();
    cells.erase(cells.begin());
    rows[first] = cells;
  }
  return rows;
}

// A manual page as it reads: the font requests' arguments joined as they
// are set (.B and .I with blanks, .BI, .BR and the like without), font
// escapes and quotes dropped; every other request line left out.
std::string manText(const std::string& roff) {
  std::string text;
  std::istringstream lines(roff);
  for (std::string line; std::getline(lines, line);) {
    std::string arguments = line;
    bool alternating = false;
    if (line.starts_with('.')) {
      std::string request = line.substr(0, line.find(' '));
      if (request != ".B" && request != ".I" && request.size() != 3) continue;
      if (request.size() == 3 && request.find_first_not_of(".BIR") != std::string::npos) continue;
      alternating = request.size() == 3;
      arguments = request.size() < line.size() ? line.substr(request.size() + 1) : "";
    }
    std::string out;
    bool quoted = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
      char c = arguments[i];
      if (c == '\\' && i + 1 < arguments.size()) {
        char next = arguments[++i];
        if (next == 'f')
          ++i;  // \fR, \fP, \fB, \fI
        else
          out += next;  // \- and the like
      } else if (c == '"') {
        quoted = !quoted;
      } else if (c != ' ' || quoted || !alternating) {
        out += c;
      }
    }
    text += out + "\n";
  }
  return text;
}

// The acts typed at `door`, moderation or not.
std::vector<const Act*> typedActs(unsigned door) {
  std::vector<const Act*> acts;
  for (const Act& act : allActs()) {
    if (*act.word != '\0' && (act.doors & door) != 0) acts.push_back(&act);
  }
  return acts;
}

// The first cells of `rows` that start with "`" + prefix.
std::set<std::string> usagesIn(const std::map<std::string, std::vector<std::string>>& rows,
                               char prefix) {
  std::set<std::string> found;
  for (const auto& [first, cells] : rows) {
    if (first.size() > 2 && first[0] == '`' && first[1] == prefix) found.insert(first);
  }
  return found;
}

TEST(ActDocsTest, TheModerationGuideListsEveryUsageAtTheConsole) {
  std::set<std::string> usages;
  for (const Act* act : typedActs(kConsoleDoor)) {
    usages.insert("`" + Commands::usage(*act, kConsoleDoor) + "`");
  }
  EXPECT_EQ(usagesIn(tableRows(testing::readSourceFile("docs/moderation.md")), '.'), usages);
}

TEST(ActDocsTest, TheModerationGuideListsEveryUsageInGameWithItsLevel) {
  auto rows = tableRows(testing::readSourceFile("docs/moderation.md"));
  std::set<std::string> usages;
  for (const Act* act : typedActs(kGameDoor)) {
    std::string usage = "`" + Commands::usage(*act, kGameDoor) + "`";
    usages.insert(usage);
    auto row = rows.find(usage);
    if (row == rows.end()) continue;  // the set's comparison names it
    ASSERT_FALSE(row->second.empty()) << usage;
    EXPECT_TRUE(row->second[0].starts_with(std::to_string(act->level))) << usage;
  }
  std::set<std::string> listed = usagesIn(rows, '!');
  listed.erase("`!help`");  // the registry's own word, not an act
  EXPECT_EQ(listed, usages);
}

TEST(ActDocsTest, TheManualListsEveryUsageAtTheConsole) {
  std::string text = lower(manText(testing::readSourceFile("docs/gsadmin.1")));
  for (const Act* act : typedActs(kConsoleDoor)) {
    std::string usage = lower(Commands::usage(*act, kConsoleDoor));
    size_t at = text.find(usage);
    // A whole usage: ".ban player" is not the start of ".bans".
    while (at != std::string::npos && at + usage.size() < text.size() &&
           std::isalnum(static_cast<unsigned char>(text[at + usage.size()]))) {
      at = text.find(usage, at + 1);
    }
    EXPECT_NE(at, std::string::npos) << usage;
  }
}

TEST(ActDocsTest, TheHttpApiListsEveryActionOfThePanelWithItsLevel) {
  auto rows =
      tableRows(testing::readSourceFile("docs/http-api.md"), "| action | members | level |");
  std::set<std::string> names = {"`command`"};  // any console line, the operator's level
  for (const Act& act : allActs()) {
    if ((act.doors & kPanelDoor) == 0) continue;
    std::string name = "`" + std::string(act.name) + "`";
    names.insert(name);
    auto row = rows.find(name);
    if (row == rows.end()) continue;
    ASSERT_EQ(row->second.size(), 2u) << name;
    EXPECT_TRUE(row->second[1].starts_with(std::to_string(act.level))) << name;
  }
  std::set<std::string> listed;
  for (const auto& [first, cells] : rows) listed.insert(first);
  EXPECT_EQ(listed, names);
}

// The manual's text, as the test above reads it.
TEST(ActDocsTest, ManualRequestsReadAsTheyAreSet) {
  EXPECT_EQ(manText(".BI .tempban \" player duration \\fR[\\fPreason\\fR]\\fP\"\n"
                    ".B .bans\n.TP\n.BR \\-\\-help \" and \" .admins\n"),
            ".tempban player duration [reason]\n.bans\n--help and .admins\n");
}

}  // namespace
}  // namespace gsadmin
