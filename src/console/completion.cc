#include "console/completion.h"

#include <algorithm>

namespace gsadmin {
namespace {

char lowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (prefix.size() > text.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (lowerAscii(text[i]) != lowerAscii(prefix[i])) return false;
  }
  return true;
}

std::vector<std::string> completionsFor(std::string_view typed,
                                        const std::vector<std::string>& words) {
  std::vector<std::string> matches;
  for (const std::string& word : words) {
    if (!word.empty() && startsWithIgnoringCase(word, typed)) matches.push_back(word);
  }
  std::sort(matches.begin(), matches.end());
  matches.erase(std::unique(matches.begin(), matches.end()), matches.end());
  return matches;
}

}  // namespace gsadmin
