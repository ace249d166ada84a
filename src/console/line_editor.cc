#include "console/line_editor.h"

namespace gsadmin {
namespace {

constexpr char ctrl(char letter) {
  return static_cast<char>(letter & 0x1f);
}

bool isContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The longest start every candidate shares, ignoring ASCII case, spelt as
// in the first.
std::string commonStart(const std::vector<std::string>& words) {
  std::string common = words.front();
  for (const std::string& word : words) {
    size_t n = 0;
    while (n < common.size() && n < word.size() &&
           startsWithIgnoringCase(word.substr(n, 1), common.substr(n, 1))) {
      ++n;
    }
    common.resize(n);
  }
  return common;
}

}  // namespace

LineEditor::Result LineEditor::feed(char byte) {
  std::optional<Key> key = decoder_.feed(byte);
  if (!key) return Result::kEditing;
  bool enter = key->kind == Key::Kind::kControl && (key->byte == '\r' || key->byte == '\n');
  bool interrupt = key->kind == Key::Kind::kControl && key->byte == ctrl('C');
  if (discarding_) {
    // The rest of a refused line never becomes a line of its own.
    if (enter || interrupt) discarding_ = false;
    return Result::kEditing;
  }
  bool search = key->kind == Key::Kind::kControl && key->byte == ctrl('R');
  if (!search) searching_ = false;
  return handleKey(*key);
}

LineEditor::Result LineEditor::handleKey(const Key& key) {
  switch (key.kind) {
    case Key::Kind::kText:
      return insert(key.byte);
    case Key::Kind::kControl:
      return handleControl(key.byte);
    case Key::Kind::kLeft:
      moveLeft();
      break;
    case Key::Kind::kRight:
      moveRight();
      break;
    case Key::Kind::kHome:
      cursor_ = 0;
      break;
    case Key::Kind::kEnd:
      cursor_ = text_.size();
      break;
    case Key::Kind::kUp:
      if (browsing_ > 0) recall(browsing_ - 1);
      break;
    case Key::Kind::kDown:
      if (browsing_ < history_.size()) recall(browsing_ + 1);
      break;
    case Key::Kind::kDelete:
      if (cursor_ < text_.size()) {
        size_t start = cursor_;
        moveRight();
        erase(start, cursor_);
      }
      break;
  }
  return Result::kEditing;
}

LineEditor::Result LineEditor::handleControl(char byte) {
  switch (byte) {
    case '\r':
    case '\n':
      return finishLine();
    case '\t':
      return complete();
    case ctrl('C'):
      if (text_.empty()) return Result::kEnd;
      clear();
      return Result::kCancelled;
    case ctrl('D'):
      if (text_.empty()) return Result::kEnd;
      return handleKey(Key{Key::Kind::kDelete});
    case ctrl('H'):
    case '\x7f':
      if (cursor_ > 0) {
        size_t end = cursor_;
        moveLeft();
        erase(cursor_, end);
      }
      break;
    case ctrl('A'):
      return handleKey(Key{Key::Kind::kHome});
    case ctrl('E'):
      return handleKey(Key{Key::Kind::kEnd});
    case ctrl('B'):
      return handleKey(Key{Key::Kind::kLeft});
    case ctrl('F'):
      return handleKey(Key{Key::Kind::kRight});
    case ctrl('P'):
      return handleKey(Key{Key::Kind::kUp});
    case ctrl('N'):
      return handleKey(Key{Key::Kind::kDown});
    case ctrl('K'):
      erase(cursor_, text_.size());
      break;
    case ctrl('U'):
      erase(0, cursor_);
      break;
    case ctrl('W'):
      deleteWordBefore();
      break;
    case ctrl('R'):
      searchHistoryBack();
      break;
    case ctrl('L'):
      return Result::kClearScreen;
    default:
      break;  // other control bytes would only garble the line
  }
  return Result::kEditing;
}

LineEditor::Result LineEditor::insert(char byte) {
  if (text_.size() >= kMaxLineBytes) {
    clear();
    discarding_ = true;
    return Result::kTooLong;
  }
  text_.insert(cursor_++, 1, byte);
  return Result::kEditing;
}

LineEditor::Result LineEditor::finishLine() {
  finished_ = std::move(text_);
  clear();
  return Result::kLineDone;
}

LineEditor::Result LineEditor::complete() {
  size_t start = text_.rfind(' ', cursor_ == 0 ? 0 : cursor_ - 1);
  start = (start == std::string::npos || cursor_ == 0) ? 0 : start + 1;
  std::string typed = text_.substr(start, cursor_ - start);
  if (!completer_) return Result::kEditing;
  std::vector<std::string> matches =
      completionsFor(typed, completer_(std::string_view(text_).substr(0, start), typed));
  if (matches.empty()) return Result::kEditing;
  std::string replacement = matches.size() == 1 ? matches.front() + " " : commonStart(matches);
  if (replacement.size() <= typed.size()) {
    completions_ = std::move(matches);
    return Result::kCompletions;
  }
  if (text_.size() - typed.size() + replacement.size() > kMaxLineBytes) return Result::kEditing;
  text_.replace(start, typed.size(), replacement);
  cursor_ = start + replacement.size();
  return Result::kEditing;
}

void LineEditor::moveLeft() {
  while (cursor_ > 0 && isContinuationByte(text_[--cursor_])) {
  }
}

void LineEditor::moveRight() {
  if (cursor_ < text_.size()) ++cursor_;
  while (cursor_ < text_.size() && isContinuationByte(text_[cursor_])) ++cursor_;
}

void LineEditor::erase(size_t from, size_t to) {
  text_.erase(from, to - from);
  cursor_ = from;
}

void LineEditor::deleteWordBefore() {
  size_t start = cursor_;
  while (start > 0 && text_[start - 1] == ' ') --start;
  while (start > 0 && text_[start - 1] != ' ') --start;
  erase(start, cursor_);
}

void LineEditor::recall(size_t index) {
  if (browsing_ == history_.size()) draft_ = text_;
  browsing_ = index;
  text_ = index < history_.size() ? history_[index] : draft_;
  cursor_ = text_.size();
}

void LineEditor::searchHistoryBack() {
  if (!searching_) searchText_ = text_;
  searching_ = true;
  for (size_t i = browsing_; i > 0; --i) {
    if (history_[i - 1].find(searchText_) != std::string::npos) {
      recall(i - 1);
      return;
    }
  }
}

void LineEditor::clear() {
  text_.clear();
  cursor_ = 0;
  browsing_ = history_.size();
  draft_.clear();
  searching_ = false;
}

void LineEditor::addHistory(std::string line) {
  if (line.empty() || line.size() > kMaxLineBytes) return;
  if (!history_.empty() && history_.back() == line) return;
  history_.push_back(std::move(line));
  if (history_.size() > historyLimit_) history_.erase(history_.begin());
  browsing_ = history_.size();
}

}  // namespace gsadmin
