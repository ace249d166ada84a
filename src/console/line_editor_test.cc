#include "console/line_editor.h"

#include <gtest/gtest.h>

namespace gsadmin {
namespace {

using Result = LineEditor::Result;

// Feeds `keys` byte by byte; the results other than kEditing, in order.
std::vector<Result> type(LineEditor& editor, const std::string& keys) {
  std::vector<Result> results;
  for (char c : keys) {
    Result result = editor.feed(c);
    if (result != Result::kEditing) results.push_back(result);
  }
  return results;
}

// The line with the cursor shown as '|'.
std::string shown(const LineEditor& editor) {
  std::string text = editor.text();
  return text.insert(editor.cursor(), "|");
}

TEST(LineEditorTest, EditsTheLineWithKeysAndCursorSequences) {
  struct Case {
    const char* name;
    std::string keys;
    std::string expected;  // the line, '|' at the cursor
  };
  const Case cases[] = {
      {"insert", "abc", "abc|"},
      {"left and insert", "ac\x1b[DB", "aB|c"},
      {"ss3 cursor keys", "ac\x1bODB\x1bOC", "aBc|"},
      {"home and end", "bc\x1b[Ha\x1b[F!", "abc!|"},
      {"ctrl-a and ctrl-e",
       "bc\x01"
       "a\x05!",
       "abc!|"},
      {"editing block home and delete", "xabc\x1b[1~\x1b[3~", "|abc"},
      {"backspace", "abc\x7f\x08", "a|"},
      {"backspace a utf-8 character whole", "a\xc3\xa9\x7f", "a|"},
      {"left over a utf-8 character", "\xc3\xa9z\x1b[D\x1b[D!", "!|\xc3\xa9z"},
      {"ctrl-u drops before the cursor", "abc def\x1b[D\x1b[D\x15", "|ef"},
      {"ctrl-k drops after the cursor", "abc def\x01\x1b[C\x0b", "a|"},
      {"ctrl-w drops a word", "kick bob  \x17", "kick |"},
      {"ctrl-d deletes under the cursor", "ab\x01\x04", "|b"},
      {"unknown sequence dropped whole", "a\x1b[15~\x1b[1;5Cb", "ab|"},
      {"alt-key ignored",
       "a\x1b"
       "bc",
       "ac|"},
      {"other control bytes ignored",
       std::string("a\x07\0\x13"
                   "b",
                   5),
       "ab|"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LineEditor editor;
    EXPECT_EQ(type(editor, c.keys), std::vector<Result>{});
    EXPECT_EQ(shown(editor), c.expected);
  }
}

TEST(LineEditorTest, EnterCtrlCAndCtrlDEndLinesOrInput) {
  LineEditor editor;
  EXPECT_EQ(type(editor, "hello\r"), std::vector<Result>{Result::kLineDone});
  EXPECT_EQ(editor.takeLine(), "hello");
  EXPECT_EQ(shown(editor), "|");
  EXPECT_EQ(type(editor, "\n"), std::vector<Result>{Result::kLineDone});
  EXPECT_EQ(editor.takeLine(), "");
  // Ctrl-C with text clears it; on an empty line it ends input, as Ctrl-D does.
  EXPECT_EQ(type(editor, "half\x03"), std::vector<Result>{Result::kCancelled});
  EXPECT_EQ(shown(editor), "|");
  EXPECT_EQ(type(editor, "\x03"), std::vector<Result>{Result::kEnd});
  EXPECT_EQ(type(editor, "\x04"), std::vector<Result>{Result::kEnd});
}

TEST(LineEditorTest, RefusesAnOverlongLineWholeUpToTheNextEnter) {
  LineEditor editor;
  std::string longest(LineEditor::kMaxLineBytes, 'x');
  EXPECT_EQ(type(editor, longest + "\r"), std::vector<Result>{Result::kLineDone});
  EXPECT_EQ(editor.takeLine(), longest);

  // The tail of a long paste never becomes a line of its own.
  EXPECT_EQ(type(editor, longest + ".lua x"), std::vector<Result>{Result::kTooLong});
  EXPECT_TRUE(editor.discarding());
  EXPECT_EQ(type(editor, "/slap Bob"), std::vector<Result>{});
  EXPECT_EQ(shown(editor), "|");
  EXPECT_EQ(type(editor, "\r"), std::vector<Result>{});
  EXPECT_FALSE(editor.discarding());
  EXPECT_EQ(type(editor, ".players\r"), std::vector<Result>{Result::kLineDone});
  EXPECT_EQ(editor.takeLine(), ".players");

  // Ctrl-C also ends the dropping, without ending input.
  EXPECT_EQ(type(editor, longest + "yy\x03"
                                   "ok"),
            std::vector<Result>{Result::kTooLong});
  EXPECT_EQ(shown(editor), "ok|");
}

TEST(LineEditorTest, RecallsHistoryUpDownAndBySearch) {
  LineEditor editor(3);
  for (const char* line : {"zero", "/msg #3 hi", ".kick 3", "", ".kick 3", "/msg #4 yo"}) {
    editor.addHistory(line);
  }
  // Empty lines and repeats are skipped; the oldest goes past the limit.
  EXPECT_EQ(editor.history(), (std::vector<std::string>{"/msg #3 hi", ".kick 3", "/msg #4 yo"}));

  type(editor, "draft\x1b[A\x1b[A");
  EXPECT_EQ(shown(editor), ".kick 3|");
  type(editor, "\x1b[A\x1b[A");
  EXPECT_EQ(shown(editor), "/msg #3 hi|");
  type(editor, "\x0e\x0e\x1b[B\x1b[B");
  EXPECT_EQ(shown(editor), "draft|");

  // Ctrl-R: the last line holding what was typed, then older ones.
  type(editor, "\x15msg\x12");
  EXPECT_EQ(shown(editor), "/msg #4 yo|");
  type(editor, "\x12");
  EXPECT_EQ(shown(editor), "/msg #3 hi|");
  type(editor, "\x12");
  EXPECT_EQ(shown(editor), "/msg #3 hi|");
}

TEST(LineEditorTest, CompletesTheWordBeforeTheCursor) {
  LineEditor editor;
  type(editor, "x\t");  // no completer: Tab adds nothing
  EXPECT_EQ(shown(editor), "x|");
  type(editor, "\x15");
  std::vector<std::string> asked;
  editor.setCompleter([&](std::string_view before, std::string_view word) {
    asked.push_back(std::string(before) + "|" + std::string(word));
    return std::vector<std::string>{".kick", ".help", "Bob", "Bobby", "alice"};
  });
  type(editor, ".k\t");
  EXPECT_EQ(shown(editor), ".kick |");
  type(editor, "ALI\t");
  EXPECT_EQ(shown(editor), ".kick alice |");
  type(editor, "\x15.kick b\t");
  EXPECT_EQ(shown(editor), ".kick Bob|");
  EXPECT_EQ(type(editor, "\t"), std::vector<Result>{Result::kCompletions});
  EXPECT_EQ(editor.completions(), (std::vector<std::string>{"Bob", "Bobby"}));
  type(editor, "\x15zz\t");
  EXPECT_EQ(shown(editor), "zz|");
  // The completer is told the line before the word, which ends at the cursor.
  type(editor, "\x15.msg Bo hi\x1b[D\x1b[D\x1b[D\t");
  EXPECT_EQ(asked.back(), ".msg |Bo");
  EXPECT_EQ(asked.front(), "|.k");
}

}  // namespace
}  // namespace gsadmin
