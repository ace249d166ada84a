#ifndef GSADMIN_CONSOLE_COMPLETION_H_
#define GSADMIN_CONSOLE_COMPLETION_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace gsadmin {

// What Tab may complete the word before the cursor to: given the line up to
// that word and the word as typed so far, the candidates (whole words or
// phrases with blanks). The editor keeps those that start with the word.
using Completer =
    std::function<std::vector<std::string>(std::string_view lineBeforeWord, std::string_view word)>;

// The words of `words` that start with `typed`, ignoring ASCII case, sorted
// and without duplicates. An empty `typed` matches every word.
std::vector<std::string> completionsFor(std::string_view typed,
                                        const std::vector<std::string>& words);

// True when `text` starts with `prefix`, ignoring ASCII case only (names are
// bytes, not text in a locale).
bool startsWithIgnoringCase(std::string_view text, std::string_view prefix);

}  // namespace gsadmin

#endif  // GSADMIN_CONSOLE_COMPLETION_H_
