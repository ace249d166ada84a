#include "support/screen_model.h"

#include <algorithm>
#include <cctype>

namespace gsadmin::testing {

std::string& ScreenModel::currentRow() {
  while (static_cast<int>(rows_.size()) <= row_) rows_.emplace_back();
  std::string& row = rows_[static_cast<size_t>(row_)];
  if (static_cast<int>(row.size()) < column_) row.resize(static_cast<size_t>(column_), ' ');
  return row;
}

void ScreenModel::feed(std::string_view bytes) {
  for (char c : bytes) {
    if (!escape_.empty()) {
      escape_.push_back(c);
      bool csi = escape_.size() >= 2 && escape_[1] == '[';
      if (!csi && escape_.size() == 2) escape_.clear();  // a two-byte escape: ignored
      if (csi && escape_.size() > 2 && c >= 0x40 && c <= 0x7e) {
        std::string digits = escape_.substr(2, escape_.size() - 3);
        int count = digits.empty() || !std::isdigit(static_cast<unsigned char>(digits[0]))
                        ? -1
                        : std::stoi(digits);
        escape_.clear();
        control(c, count);
      }
      continue;
    }
    put(c);
  }
}

void ScreenModel::put(char c) {
  switch (c) {
    case '\x1b':
      // put() runs only outside an escape, so escape_ is empty here. One
      // byte appended, not a C string assigned: g++ 12 at -O2 warned
      // (-Wrestrict) about the overlap check of the assignment's copy.
      escape_.push_back(c);
      return;
    case '\r':
      column_ = 0;
      return;
    case '\n':
      ++row_;
      currentRow();
      return;
    case '\b':
      column_ = std::max(0, column_ - 1);
      return;
    case '\a':
      return;
    default:
      break;
  }
  if (column_ >= columns_) {
    column_ = 0;
    ++row_;
  }
  std::string& row = currentRow();
  if (static_cast<int>(row.size()) == column_) {
    row.push_back(c);
  } else {
    row[static_cast<size_t>(column_)] = c;
  }
  ++column_;
}

void ScreenModel::control(char final, int count) {
  int n = count < 1 ? 1 : count;
  switch (final) {
    case 'A':
      row_ = std::max(0, row_ - n);
      break;
    case 'B':
      row_ += n;
      break;
    case 'C':
      column_ = std::min(columns_ - 1, column_ + n);
      break;
    case 'D':
      column_ = std::max(0, column_ - n);
      break;
    case 'G':
      column_ = std::min(columns_ - 1, n - 1);
      break;
    case 'K': {
      std::string& row = currentRow();
      if (count <= 0) row.resize(static_cast<size_t>(column_));
      break;
    }
    case 'J':
      currentRow().resize(static_cast<size_t>(column_));
      rows_.resize(static_cast<size_t>(row_) + 1);
      break;
    default:
      break;  // colours, modes: nothing a row shows
  }
  currentRow();
}

std::vector<std::string> ScreenModel::rows() const {
  std::vector<std::string> result;
  for (std::string row : rows_) {
    while (!row.empty() && row.back() == ' ') row.pop_back();
    result.push_back(row);
  }
  return result;
}

}  // namespace gsadmin::testing
