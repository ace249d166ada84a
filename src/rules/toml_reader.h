#ifndef GSADMIN_RULES_TOML_READER_H_
#define GSADMIN_RULES_TOML_READER_H_

#include <toml++/toml.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gsadmin {

// Reading the tables of a checked TOML file (rules, schedules): each read
// names the key's line in its refusal, as "FILE:LINE: why", and the first
// refusal sticks. A key a table does not know is ignored with a warning:
// a file written for a later version, which knows more keys, still loads,
// and a misspelt key is said, not silently a default.
class TomlReader {
 public:
  TomlReader(std::string path, std::string* error) : path_(std::move(path)), error_(error) {}

  // Parses `text`, refused over `maxBytes`; the whole table, or none.
  std::optional<toml::table> parse(std::string_view text, size_t maxBytes);
  // The tables of the array `key` of `root` ([[key]]), each with its line;
  // none with a refusal when `key` is anything else or other keys are there.
  std::optional<std::vector<const toml::table*>> arrayOfTables(const toml::table& root,
                                                               std::string_view key,
                                                               size_t maxCount);

  // Warns of every key of `table` that is not in `known`; always true.
  bool onlyKeys(const toml::table& table, std::initializer_list<std::string_view> known);

  std::optional<std::string> text(const toml::table& table, std::string_view key, size_t maxBytes,
                                  bool needed);
  std::optional<int64_t> integer(const toml::table& table, std::string_view key, int64_t minimum,
                                 int64_t maximum, bool needed);
  std::optional<bool> boolean(const toml::table& table, std::string_view key);
  // A list of texts; empty when absent.
  std::optional<std::vector<std::string>> texts(const toml::table& table, std::string_view key,
                                                size_t maxCount, size_t maxBytes);
  // A duration: a text such as "10m" or a number of seconds.
  std::optional<int64_t> duration(const toml::table& table, std::string_view key, int64_t maximum,
                                  bool needed);

  // Records a refusal at `line` (0: none); always false.
  bool fail(int line, const std::string& why);
  int lineOf(const toml::table& table, std::string_view key) const;
  bool failed() const { return !error_->empty(); }
  // "FILE:LINE: unknown key "KEY" ignored", one a key, by key.
  std::vector<std::string> takeWarnings() { return std::move(warnings_); }

 private:
  std::string path_;
  std::string* error_;
  std::vector<std::string> warnings_;
};

}  // namespace gsadmin

#endif  // GSADMIN_RULES_TOML_READER_H_
