#include "rules/toml_reader.h"

#include <algorithm>

#include "base/durations.h"

namespace gsadmin {
namespace {

std::string quoted(std::string_view key) {
  return "\"" + std::string(key.substr(0, 64)) + "\"";
}

}  // namespace

bool TomlReader::fail(int line, const std::string& why) {
  if (!error_->empty()) return false;
  *error_ = path_ + (line > 0 ? ":" + std::to_string(line) : "") + ": " + why;
  return false;
}

int TomlReader::lineOf(const toml::table& table, std::string_view key) const {
  const toml::node* node = table.get(key);
  return static_cast<int>((node != nullptr ? node->source() : table.source()).begin.line);
}

std::optional<toml::table> TomlReader::parse(std::string_view text, size_t maxBytes) {
  if (text.size() > maxBytes) {
    fail(0, "over " + std::to_string(maxBytes / 1024) + " KiB");
    return std::nullopt;
  }
  try {
    return toml::parse(text, path_);
  } catch (const toml::parse_error& error) {
    fail(static_cast<int>(error.source().begin.line), std::string(error.description()));
    return std::nullopt;
  }
}

std::optional<std::vector<const toml::table*>> TomlReader::arrayOfTables(const toml::table& root,
                                                                         std::string_view key,
                                                                         size_t maxCount) {
  std::vector<const toml::table*> tables;
  for (const auto& [name, node] : root) {
    if (name.str() != key || !node.is_array_of_tables()) {
      fail(static_cast<int>(node.source().begin.line),
           "unknown " + quoted(name.str()) + ": only [[" + std::string(key) + "]] tables");
      return std::nullopt;
    }
    for (const toml::node& each : *node.as_array()) {
      if (tables.size() == maxCount) {
        fail(static_cast<int>(each.source().begin.line),
             "more than " + std::to_string(maxCount) + " [[" + std::string(key) + "]] tables");
        return std::nullopt;
      }
      tables.push_back(each.as_table());
    }
  }
  return tables;
}

bool TomlReader::onlyKeys(const toml::table& table, std::initializer_list<std::string_view> known) {
  for (const auto& [name, node] : table) {
    if (std::find(known.begin(), known.end(), name.str()) == known.end()) {
      warnings_.push_back(path_ + ":" + std::to_string(node.source().begin.line) +
                          ": unknown key " + quoted(name.str()) + " ignored");
    }
  }
  return true;
}

std::optional<std::string> TomlReader::text(const toml::table& table, std::string_view key,
                                            size_t maxBytes, bool needed) {
  const toml::node* node = table.get(key);
  if (node == nullptr) {
    if (needed) fail(lineOf(table, key), quoted(key) + " is needed");
    return std::nullopt;
  }
  std::optional<std::string> value = node->value<std::string>();
  if (!value || !node->is_string() || value->size() > maxBytes) {
    fail(lineOf(table, key),
         quoted(key) + " needs a text of at most " + std::to_string(maxBytes) + " bytes");
    return std::nullopt;
  }
  return value;
}

std::optional<int64_t> TomlReader::integer(const toml::table& table, std::string_view key,
                                           int64_t minimum, int64_t maximum, bool needed) {
  const toml::node* node = table.get(key);
  if (node == nullptr) {
    if (needed) fail(lineOf(table, key), quoted(key) + " is needed");
    return std::nullopt;
  }
  std::optional<int64_t> value = node->is_integer() ? node->value<int64_t>() : std::nullopt;
  if (!value || *value < minimum || *value > maximum) {
    fail(lineOf(table, key), quoted(key) + " needs a whole number from " + std::to_string(minimum) +
                                 " to " + std::to_string(maximum));
    return std::nullopt;
  }
  return value;
}

std::optional<bool> TomlReader::boolean(const toml::table& table, std::string_view key) {
  const toml::node* node = table.get(key);
  if (node == nullptr) return std::nullopt;
  if (!node->is_boolean()) {
    fail(lineOf(table, key), quoted(key) + " needs true or false");
    return std::nullopt;
  }
  return node->value<bool>();
}

std::optional<std::vector<std::string>> TomlReader::texts(const toml::table& table,
                                                          std::string_view key, size_t maxCount,
                                                          size_t maxBytes) {
  const toml::node* node = table.get(key);
  std::vector<std::string> values;
  if (node == nullptr) return values;
  const toml::array* array = node->as_array();
  std::string needs = quoted(key) + " needs a list of at most " + std::to_string(maxCount) +
                      " texts of at most " + std::to_string(maxBytes) + " bytes";
  if (array == nullptr || array->size() > maxCount) {
    fail(lineOf(table, key), needs);
    return std::nullopt;
  }
  for (const toml::node& each : *array) {
    std::optional<std::string> value = each.is_string() ? each.value<std::string>() : std::nullopt;
    if (!value || value->size() > maxBytes) {
      fail(static_cast<int>(each.source().begin.line), needs);
      return std::nullopt;
    }
    values.push_back(std::move(*value));
  }
  return values;
}

std::optional<int64_t> TomlReader::duration(const toml::table& table, std::string_view key,
                                            int64_t maximum, bool needed) {
  const toml::node* node = table.get(key);
  if (node == nullptr) {
    if (needed) fail(lineOf(table, key), quoted(key) + " is needed");
    return std::nullopt;
  }
  std::optional<int64_t> seconds;
  if (node->is_integer()) seconds = node->value<int64_t>();
  if (node->is_string()) seconds = parseDuration(*node->value<std::string>());
  if (!seconds || *seconds < 1 || *seconds > maximum) {
    fail(lineOf(table, key),
         quoted(key) + " needs a duration such as \"10m\" of at most " + formatDuration(maximum));
    return std::nullopt;
  }
  return seconds;
}

}  // namespace gsadmin
