#ifndef GSADMIN_MODERATION_RECORD_SEARCH_H_
#define GSADMIN_MODERATION_RECORD_SEARCH_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "moderation/records.h"

namespace gsadmin {

// What the panel's searches of the bans and the audit may ask. Texts are
// matched as parts, in any case, unless said otherwise; an empty text
// matches everything. The callers bound the texts (kMaxFilterBytes).

// The most bytes of one filter's text.
inline constexpr size_t kMaxFilterBytes = 64;
// The most rows of one page, and of one export.
inline constexpr size_t kMaxPageRows = 200;
inline constexpr size_t kMaxExportRows = 10000;

enum class BanState { kAll, kActive, kEnded };

struct BanFilter {
  std::string name;  // part of the banned name
  BanState state = BanState::kAll;
  std::string actor;   // part of who banned
  std::string server;  // the --server-name where it was made, whole
};

struct AuditFilter {
  std::string actor;            // part of the actor's label ("panel:alice")
  std::string action;           // the action, whole ("unban", "ban reason")
  std::string target;           // part of the target's name
  std::string server;           // whole
  std::optional<int64_t> from;  // at or after, seconds since the epoch
  std::optional<int64_t> to;    // before
};

// Which rows of a search: newest first (by id), those older than `before`
// when given, at most `rows`.
struct PageRequest {
  std::optional<int64_t> before;
  size_t rows = kMaxPageRows;
};

template <typename Record>
struct RecordPage {
  std::vector<Record> rows;
  // The `before` of the next page; none when this one is the last.
  std::optional<int64_t> next;
};

// `text` as a LIKE pattern (with ESCAPE '\') that matches it as a part;
// the caller folds the case.
std::string containsPattern(std::string_view text);
// `text` with its ASCII letters in lower case.
std::string asciiLowered(std::string_view text);

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_RECORD_SEARCH_H_
