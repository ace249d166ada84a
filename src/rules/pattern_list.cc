#include "rules/pattern_list.h"

#include <re2/re2.h>

#include <utility>

namespace gsadmin {
namespace {

// Compiled within the budget, errors kept rather than logged to stderr.
std::unique_ptr<re2::RE2> compile(std::string_view pattern, std::string* why) {
  if (pattern.empty()) {
    *why = "an empty pattern";
    return nullptr;
  }
  if (pattern.size() > kMaxPatternBytes) {
    *why = "a pattern over " + std::to_string(kMaxPatternBytes) + " bytes";
    return nullptr;
  }
  re2::RE2::Options options;
  options.set_max_mem(kPatternMemoryBytes);
  options.set_log_errors(false);
  auto compiled =
      std::make_unique<re2::RE2>(re2::StringPiece(pattern.data(), pattern.size()), options);
  if (!compiled->ok()) {
    // RE2 says "pattern too large - compile failed" when over max_mem.
    *why = "pattern \"" + std::string(pattern.substr(0, 60)) + "\": " + compiled->error();
    if (compiled->error_code() == re2::RE2::ErrorPatternTooLarge) {
      *why += " (over " + std::to_string(kPatternMemoryBytes / 1024) + " KiB)";
    }
    return nullptr;
  }
  return compiled;
}

}  // namespace

PatternList::PatternList() = default;
PatternList::~PatternList() = default;
PatternList::PatternList(PatternList&&) noexcept = default;
PatternList& PatternList::operator=(PatternList&&) noexcept = default;

std::string PatternList::add(std::string_view pattern, bool exception) {
  std::vector<std::unique_ptr<re2::RE2>>& into = exception ? exceptions_ : patterns_;
  if (into.size() >= kMaxPatternsPerRule) {
    return "more than " + std::to_string(kMaxPatternsPerRule) + " patterns";
  }
  std::string why;
  std::unique_ptr<re2::RE2> compiled = compile(pattern, &why);
  if (!compiled) return why;
  into.push_back(std::move(compiled));
  return "";
}

std::string PatternList::addWord(std::string_view word) {
  if (word.empty() || word.size() > kMaxPatternBytes / 2) return "a word of 1 to 500 bytes";
  std::string quoted = re2::RE2::QuoteMeta(re2::StringPiece(word.data(), word.size()));
  return add("(?i)\\b" + quoted + "\\b");
}

std::optional<std::string> PatternList::match(std::string_view text) const {
  re2::StringPiece piece(text.data(), text.size());
  for (const auto& exception : exceptions_) {
    if (re2::RE2::PartialMatch(piece, *exception)) return std::nullopt;
  }
  for (const auto& pattern : patterns_) {
    if (re2::RE2::PartialMatch(piece, *pattern)) return pattern->pattern();
  }
  return std::nullopt;
}

std::optional<std::string> PatternList::capture(std::string_view text) const {
  re2::StringPiece piece(text.data(), text.size());
  for (const auto& pattern : patterns_) {
    re2::StringPiece found[2];
    int groups = pattern->NumberOfCapturingGroups() > 0 ? 2 : 1;
    if (pattern->Match(piece, 0, piece.size(), re2::RE2::UNANCHORED, found, groups)) {
      re2::StringPiece got = found[groups - 1];
      return std::string(got.data(), got.size());
    }
  }
  return std::nullopt;
}

std::string checkPattern(std::string_view pattern) {
  std::string why;
  return compile(pattern, &why) ? "" : why;
}

}  // namespace gsadmin
