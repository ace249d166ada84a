// Line editing through a real pseudo-terminal: the test-only probe program
// runs the console's terminal input and prints a line above the prompt for
// every line the test writes to its control pipe.

#include <gtest/gtest.h>

#include <algorithm>

#include "support/client_process.h"
#include "support/terminal_process.h"
#include "support/text_file.h"

namespace gsadmin {
namespace {

using testing::ScreenModel;
using testing::TempDir;
using testing::TerminalProcess;

const char kUp[] = "\x1b[A";
const char kLeft[] = "\x1b[D";
const char kCtrlD[] = "\x04";

// The row the cursor is on, with the cursor's column.
struct CursorRow {
  std::string text;
  int column;
};

CursorRow cursorRow(const ScreenModel& screen) {
  std::vector<std::string> rows = screen.rows();
  size_t row = static_cast<size_t>(screen.cursorRow());
  return {row < rows.size() ? rows[row] : "", screen.cursorColumn()};
}

// True once the cursor sits on `text` at `column`, just below `above` (rows
// lose their trailing spaces, so an empty prompt is ">").
bool promptBelow(const ScreenModel& screen, const std::string& above, const std::string& text,
                 int column) {
  std::vector<std::string> rows = screen.rows();
  size_t row = static_cast<size_t>(screen.cursorRow());
  return row >= 1 && row < rows.size() && rows[row - 1] == above && rows[row] == text &&
         screen.cursorColumn() == column;
}

// Keys typed before the editor has taken the terminal would be echoed by
// the terminal itself, so every run first waits for the prompt.
void waitForPrompt(TerminalProcess& probe) {
  ASSERT_TRUE(probe.waitFor([](const ScreenModel& s) { return cursorRow(s).text == ">"; }))
      << probe.dump();
}

std::string readFile(const std::string& path) {
  return testing::readTextFile(path).value_or("");
}

TEST(TerminalInputTest, PrintsAboveThePromptAndKeepsTheHalfTypedLine) {
  TempDir home;
  TerminalProcess probe(GSADMIN_TERMINAL_PROBE_PATH, {}, home.path());
  waitForPrompt(probe);
  probe.type("hel");
  ASSERT_TRUE(probe.waitFor([](const ScreenModel& s) { return cursorRow(s).text == "> hel"; }))
      << probe.dump();

  probe.control("player joined");
  EXPECT_TRUE(probe.waitFor([](const ScreenModel& s) {
    return promptBelow(s, "event: player joined", "> hel", 5);
  })) << probe.dump();

  // With the cursor moved back, a second line keeps it where it was.
  probe.type(std::string(kLeft) + kLeft);
  probe.control("second");
  EXPECT_TRUE(probe.waitFor([](const ScreenModel& s) {
    return promptBelow(s, "event: second", "> hel", 3);
  })) << probe.dump();

  probe.type("X\r");
  EXPECT_TRUE(probe.waitFor([](const ScreenModel& s) {
    return promptBelow(s, "typed: hXel", ">", 2);
  })) << probe.dump();

  // A finished line is gone from the editor: the next redraw shows an empty prompt.
  probe.control("third");
  EXPECT_TRUE(probe.waitFor([](const ScreenModel& s) {
    return promptBelow(s, "event: third", ">", 2);
  })) << probe.dump();

  probe.type(kCtrlD);
  EXPECT_EQ(probe.waitExit(), 0);
}

TEST(TerminalInputTest, RedrawsATypedLineThatWrapsPastTheTerminalWidth) {
  TempDir home;
  TerminalProcess probe(GSADMIN_TERMINAL_PROBE_PATH, {}, home.path());
  waitForPrompt(probe);
  std::string typed;
  for (int i = 0; i < 100; ++i) typed.push_back(static_cast<char>('a' + i % 26));
  // On an 80-column terminal the prompt and 78 characters fill the first row.
  std::string firstRow = "> " + typed.substr(0, 78);
  std::string secondRow = typed.substr(78);
  probe.type(typed + kLeft + kLeft);
  ASSERT_TRUE(probe.waitFor([&](const ScreenModel& s) { return cursorRow(s).text == secondRow; }))
      << probe.dump();

  probe.control("wrapped");
  EXPECT_TRUE(probe.waitFor([&](const ScreenModel& s) {
    std::vector<std::string> rows = s.rows();
    size_t row = static_cast<size_t>(s.cursorRow());
    return row >= 2 && row < rows.size() && rows[row - 2] == "event: wrapped" &&
           rows[row - 1] == firstRow && rows[row] == secondRow && s.cursorColumn() == 20;
  })) << probe.dump();
  // The rows of the earlier drawing are gone, not left above the new line.
  std::vector<std::string> rows = probe.screen().rows();
  EXPECT_EQ(std::count(rows.begin(), rows.end(), firstRow), 1) << probe.dump();

  probe.type(std::string("\r") + kCtrlD);
  EXPECT_TRUE(probe.waitForRow("typed: " + typed.substr(0, 73))) << probe.dump();
  EXPECT_EQ(probe.waitExit(), 0);
}

TEST(TerminalInputTest, CompletesCommandsAndNamesWithTab) {
  TempDir home;
  TerminalProcess probe(GSADMIN_TERMINAL_PROBE_PATH, {}, home.path());
  waitForPrompt(probe);
  probe.type(".k\t");
  EXPECT_TRUE(probe.waitFor([](const ScreenModel& s) { return cursorRow(s).text == "> .kick"; }))
      << probe.dump();
  probe.type("ali\t\r");
  EXPECT_TRUE(probe.waitForRow("typed: .kick alice")) << probe.dump();
  probe.type(kCtrlD);
  EXPECT_EQ(probe.waitExit(), 0);
}

TEST(TerminalInputTest, KeepsHistoryAcrossRunsWithoutSecretLines) {
  TempDir home;
  std::string historyPath = home.path() + "/state/gsadmin/history";
  {
    TerminalProcess probe(GSADMIN_TERMINAL_PROBE_PATH, {"hunter2"}, home.path());
    waitForPrompt(probe);
    for (const char* line : {"/msg #3 hi", ".kick 3", ".login hunter2"}) {
      probe.type(std::string(line) + "\r");
      ASSERT_TRUE(probe.waitForRow(std::string("typed: ") + line)) << probe.dump();
    }
    // Within the run too, the secret line cannot be recalled.
    probe.type(kUp);
    EXPECT_TRUE(probe.waitFor([](const ScreenModel& s) {
      return cursorRow(s).text == "> .kick 3";
    })) << probe.dump();
    probe.type("\x15");  // Ctrl-U: drop the recalled line
    probe.type(kCtrlD);
    ASSERT_EQ(probe.waitExit(), 0);
  }
  std::string saved = readFile(historyPath);
  EXPECT_EQ(saved, "/msg #3 hi\n.kick 3\n");
  EXPECT_EQ(saved.find("hunter2"), std::string::npos);

  TerminalProcess probe(GSADMIN_TERMINAL_PROBE_PATH, {"hunter2"}, home.path());
  waitForPrompt(probe);
  probe.type(std::string(kUp) + "\r");
  EXPECT_TRUE(probe.waitForRow("typed: .kick 3")) << probe.dump();
  // Ctrl-R finds the last line containing what is typed, in one keystroke:
  // output keeps flowing while the found line waits for Enter.
  probe.type("msg\x12");
  probe.control("during search");
  EXPECT_TRUE(probe.waitFor([](const ScreenModel& s) {
    return promptBelow(s, "event: during search", "> /msg #3 hi", 12);
  })) << probe.dump();
  probe.type("\r");
  EXPECT_TRUE(probe.waitForRow("typed: /msg #3 hi")) << probe.dump();
  probe.type(kCtrlD);
  EXPECT_EQ(probe.waitExit(), 0);
}

TEST(TerminalInputTest, LongLinesRedrawBelowPrintedLinesAndOverlongOnesAreRefused) {
  TempDir home;
  TerminalProcess probe(GSADMIN_TERMINAL_PROBE_PATH, {}, home.path());
  waitForPrompt(probe);
  // The prompt and 4000 characters fill 50 rows of 80 columns and two more.
  std::string longLine(4000, 'a');
  longLine.back() = 'z';
  probe.type(longLine);
  ASSERT_TRUE(probe.waitFor([](const ScreenModel& s) { return cursorRow(s).text == "az"; }, 10000))
      << probe.dump();
  probe.control("during");
  EXPECT_TRUE(probe.waitFor([](const ScreenModel& s) {
    std::vector<std::string> rows = s.rows();
    size_t row = static_cast<size_t>(s.cursorRow());
    return row >= 51 && rows[row - 51] == "event: during" &&
           rows[row - 50].rfind("> aaa", 0) == 0 && rows[row] == "az" && s.cursorColumn() == 2;
  })) << probe.dump();
  probe.type("\r");
  EXPECT_TRUE(probe.waitForRow("typed: " + longLine.substr(0, 73))) << probe.dump();

  probe.type(std::string(5000, 'b') + "\rok\r");
  EXPECT_TRUE(probe.waitForRow("refused: line too long (over 4096 bytes): ignored"))
      << probe.dump();
  EXPECT_TRUE(probe.waitForRow("typed: ok")) << probe.dump();
  probe.type(kCtrlD);
  EXPECT_EQ(probe.waitExit(), 0);
}

}  // namespace
}  // namespace gsadmin
