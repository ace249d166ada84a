#ifndef GSADMIN_TESTS_SUPPORT_SCREEN_MODEL_H_
#define GSADMIN_TESTS_SUPPORT_SCREEN_MODEL_H_

#include <string>
#include <string_view>
#include <vector>

namespace gsadmin::testing {

// What a terminal would show for the bytes a program wrote: enough of an
// ANSI terminal for a line editor (printable text, CR, LF, backspace, cursor
// moves, erase to end of line or screen). Rows scroll without limit, so the
// whole session stays inspectable.
class ScreenModel {
 public:
  explicit ScreenModel(int columns = 80) : columns_(columns) { rows_.emplace_back(); }

  void feed(std::string_view bytes);

  // Every row, trailing spaces removed.
  std::vector<std::string> rows() const;
  int cursorRow() const { return row_; }
  int cursorColumn() const { return column_; }

 private:
  void put(char c);
  void control(char final, int count);
  std::string& currentRow();

  int columns_;
  std::vector<std::string> rows_;
  int row_ = 0;
  int column_ = 0;
  std::string escape_;  // an escape sequence being read
};

}  // namespace gsadmin::testing

#endif  // GSADMIN_TESTS_SUPPORT_SCREEN_MODEL_H_
