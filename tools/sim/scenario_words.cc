#include "scenario_words.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace gsadmin::sim {
namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

std::string_view LineCursor::word() {
  skipBlanks();
  size_t start = pos_;
  while (pos_ < line_.size() && !isBlank(line_[pos_])) ++pos_;
  return line_.substr(start, pos_ - start);
}

std::string_view LineCursor::rest() {
  skipBlanks();
  std::string_view rest = line_.substr(pos_);
  while (!rest.empty() && isBlank(rest.back())) rest.remove_suffix(1);
  pos_ = line_.size();
  return rest;
}

bool LineCursor::atEnd() {
  skipBlanks();
  return pos_ >= line_.size();
}

void LineCursor::skipBlanks() {
  while (pos_ < line_.size() && isBlank(line_[pos_])) ++pos_;
}

std::optional<double> parseDouble(std::string_view word) {
  if (word.empty()) return std::nullopt;
  std::string copy(word);
  char* end = nullptr;
  double value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<float> parseFloat(std::string_view word) {
  std::optional<double> value = parseDouble(word);
  if (!value || std::fabs(*value) > std::numeric_limits<float>::max()) return std::nullopt;
  return static_cast<float>(*value);
}

std::optional<int> parseInt(std::string_view word, int min, int max) {
  int value = 0;
  const char* end = word.data() + word.size();
  auto [ptr, ec] = std::from_chars(word.data(), end, value);
  if (word.empty() || ec != std::errc() || ptr != end || value < min || value > max) {
    return std::nullopt;
  }
  return value;
}

bool hasControlByte(std::string_view text) {
  for (char c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

}  // namespace gsadmin::sim
