#ifndef GSADMIN_CONSOLE_LINE_EDITOR_H_
#define GSADMIN_CONSOLE_LINE_EDITOR_H_

#include <cstddef>
#include <string>
#include <vector>

#include "console/completion.h"
#include "console/key_decoder.h"

namespace gsadmin {

// The state of the line being typed at the prompt, and what each key does to
// it: insert and delete, cursor moves, history recall, Tab completion. It
// does no input or output; the terminal side draws text() with the cursor at
// cursor() after every feed() and acts on the results below. Bytes of text
// are kept as typed (UTF-8 stays UTF-8); the cursor moves by characters.
class LineEditor {
 public:
  // A longer line is refused whole rather than edited or sent in part.
  static constexpr size_t kMaxLineBytes = 4096;

  enum class Result {
    kEditing,      // the line, the cursor or nothing changed
    kLineDone,     // Enter: takeLine() has the line; the editor is empty again
    kTooLong,      // the line passed kMaxLineBytes: dropped, with every key up to the next Enter
    kCancelled,    // Ctrl-C on a line with text: the line is dropped
    kEnd,          // Ctrl-C or Ctrl-D on an empty line: the operator ends input
    kCompletions,  // Tab with several candidates and nothing to add: see completions()
    kClearScreen,  // Ctrl-L: the terminal side clears the screen and draws again
  };

  explicit LineEditor(size_t historyLimit = 1000) : historyLimit_(historyLimit) {}

  // One byte from the terminal.
  Result feed(char byte);

  const std::string& text() const { return text_; }
  size_t cursor() const { return cursor_; }  // a byte offset into text()
  // True while the keys after a refused over-long line are dropped.
  bool discarding() const { return discarding_; }

  // The line Enter finished; the editor keeps nothing of it.
  std::string takeLine() { return std::move(finished_); }
  // The candidates of the last Tab that returned kCompletions, sorted.
  const std::vector<std::string>& completions() const { return completions_; }

  // Asked at each Tab for the candidates of the word before the cursor
  // (matching ignores ASCII case); replaces the last one. None: Tab adds
  // nothing.
  void setCompleter(Completer completer) { completer_ = std::move(completer); }

  // Appends `line` to the lines up and down recall; an empty line, one over
  // kMaxLineBytes or a repeat of the last one is skipped, and the oldest goes
  // past the limit. The caller decides which lines may be remembered at all.
  void addHistory(std::string line);
  // Oldest first.
  const std::vector<std::string>& history() const { return history_; }

 private:
  Result handleKey(const Key& key);
  Result handleControl(char byte);
  Result insert(char byte);
  Result finishLine();
  Result complete();
  void moveLeft();
  void moveRight();
  void erase(size_t from, size_t to);
  void deleteWordBefore();
  void recall(size_t index);
  void searchHistoryBack();
  void clear();

  size_t historyLimit_;
  KeyDecoder decoder_;
  std::string text_;
  size_t cursor_ = 0;
  bool discarding_ = false;
  std::string finished_;
  Completer completer_;
  std::vector<std::string> completions_;
  std::vector<std::string> history_;  // oldest first
  size_t browsing_ = 0;               // the recalled history entry; history_.size(): the new line
  std::string draft_;                 // the new line, kept while older ones are recalled
  bool searching_ = false;            // the last key was Ctrl-R
  std::string searchText_;            // what Ctrl-R looks for
};

}  // namespace gsadmin

#endif  // GSADMIN_CONSOLE_LINE_EDITOR_H_
