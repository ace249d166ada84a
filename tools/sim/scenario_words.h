#ifndef GSADMIN_TOOLS_SIM_SCENARIO_WORDS_H_
#define GSADMIN_TOOLS_SIM_SCENARIO_WORDS_H_

#include <cstddef>
#include <optional>
#include <string_view>

namespace gsadmin::sim {

// The words of a scenario line and the numbers in them (the format is in
// docs/simulator.md).

// Reads one line word by word, words being separated by blanks (spaces and
// tabs); the last argument of some verbs is the rest of the line.
class LineCursor {
 public:
  explicit LineCursor(std::string_view line) : line_(line) {}

  // The next word, or empty at the end of the line.
  std::string_view word();
  // Everything left, without leading or trailing blanks.
  std::string_view rest();
  bool atEnd();

 private:
  void skipBlanks();

  std::string_view line_;
  size_t pos_ = 0;
};

// The whole word as a finite number, or none.
std::optional<double> parseDouble(std::string_view word);
// The same, also within the range of a float.
std::optional<float> parseFloat(std::string_view word);
// The whole word as a decimal integer from `min` to `max`, or none.
std::optional<int> parseInt(std::string_view word, int min, int max);

// Whether `text` holds a byte below 0x20 or 0x7F.
bool hasControlByte(std::string_view text);

}  // namespace gsadmin::sim

#endif  // GSADMIN_TOOLS_SIM_SCENARIO_WORDS_H_
