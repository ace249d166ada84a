#ifndef GSADMIN_MODERATION_SEEN_NAMES_H_
#define GSADMIN_MODERATION_SEEN_NAMES_H_

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace gsadmin {

// The names recorded during this run, in memory and by name key, so that
// the names starting with some text are found without asking the database
// (which may be a shared one far away). Bounded: past kMaxNames, new names
// are not kept.
class SeenNames {
 public:
  static constexpr size_t kMaxNames = 10000;

  // Keeps `name` (cut as the tables cut it) under its key; a later
  // spelling of the same key replaces the earlier one.
  void add(std::string_view name);
  // Up to `count` names whose key starts with the key of `start`, by key.
  std::vector<std::string> startingWith(std::string_view start, size_t count) const;

 private:
  std::map<std::string, std::string, std::less<>> names_;  // name key -> name
};

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_SEEN_NAMES_H_
