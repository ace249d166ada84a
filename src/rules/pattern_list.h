#ifndef GSADMIN_RULES_PATTERN_LIST_H_
#define GSADMIN_RULES_PATTERN_LIST_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace re2 {
class RE2;
}

namespace gsadmin {

// The memory one compiled pattern may take; a pattern over it is refused
// when it is loaded. RE2 matches in time linear in the text, so a pattern
// cannot be made to run long, only to be large.
inline constexpr int64_t kPatternMemoryBytes = 256 * 1024;
inline constexpr size_t kMaxPatternBytes = 1000;
inline constexpr size_t kMaxPatternsPerRule = 200;

// Patterns that match a text, less the exceptions: a text matches when
// one pattern finds itself in it and no exception does. Owns its compiled
// patterns; move-only.
class PatternList {
 public:
  PatternList();
  ~PatternList();
  PatternList(PatternList&&) noexcept;
  PatternList& operator=(PatternList&&) noexcept;

  // Adds a pattern (or an exception); empty when done, else why not: a
  // syntax error, too long, or over kPatternMemoryBytes.
  std::string add(std::string_view pattern, bool exception = false);
  // Adds a plain word, matched whole in any case.
  std::string addWord(std::string_view word);

  bool empty() const { return patterns_.empty(); }
  // The pattern that matched `text`, or none.
  std::optional<std::string> match(std::string_view text) const;
  // The first group of the first pattern that matched (its whole match
  // when it has no group), or none.
  std::optional<std::string> capture(std::string_view text) const;

 private:
  std::vector<std::unique_ptr<re2::RE2>> patterns_;
  std::vector<std::unique_ptr<re2::RE2>> exceptions_;
};

// Compiles `pattern` alone within the memory budget: empty when it would
// be taken, else why not.
std::string checkPattern(std::string_view pattern);

}  // namespace gsadmin

#endif  // GSADMIN_RULES_PATTERN_LIST_H_
