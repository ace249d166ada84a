#include "panel/record_query.h"

#include <algorithm>

namespace gsadmin {
namespace {

// Reads one parameter into `out`; on a fault sets `error` and leaves the
// rest unread (the first fault is the one said).
class Reader {
 public:
  explicit Reader(const ParamLookup& param) : param_(param) {}

  void text(const char* key, std::string* out) {
    std::optional<std::string> value = lookup(key);
    if (!value) return;
    bool clean = std::none_of(value->begin(), value->end(),
                              [](char c) { return static_cast<unsigned char>(c) < 0x20; });
    if (!clean || value->size() > kMaxFilterBytes) {
      fail(std::string(key) + " is a text of at most " + std::to_string(kMaxFilterBytes) +
           " bytes on one line");
      return;
    }
    *out = *value;
  }

  // A number of 1 to 18 digits, at least `least`.
  std::optional<int64_t> number(const char* key, int64_t least) {
    std::optional<std::string> value = lookup(key);
    if (!value) return std::nullopt;
    bool digits =
        !value->empty() && value->size() <= 18 &&
        std::all_of(value->begin(), value->end(), [](char c) { return c >= '0' && c <= '9'; });
    int64_t number = digits ? std::stoll(*value) : -1;
    if (number < least) {
      fail(std::string(key) + " is a whole number of at least " + std::to_string(least));
      return std::nullopt;
    }
    return number;
  }

  void page(PageRequest* page) {
    page->before = number("before", 1);
    page->rows = kDefaultPageRows;
    if (std::optional<int64_t> rows = number("limit", 1)) {
      if (*rows > static_cast<int64_t>(kMaxPageRows)) {
        fail("limit is at most " + std::to_string(kMaxPageRows));
      }
      page->rows = static_cast<size_t>(std::min<int64_t>(*rows, kMaxPageRows));
    }
  }

  void fail(std::string why) {
    if (error_.empty()) error_ = std::move(why);
  }
  std::string error() const { return error_; }

 private:
  std::optional<std::string> lookup(const char* key) {
    if (!error_.empty()) return std::nullopt;
    return param_(key);
  }

  const ParamLookup& param_;
  std::string error_;
};

}  // namespace

RecordQuery<BanFilter> banQuery(const ParamLookup& param) {
  RecordQuery<BanFilter> query;
  Reader read(param);
  read.text("q", &query.filter.name);
  read.text("actor", &query.filter.actor);
  read.text("server", &query.filter.server);
  std::string state;
  read.text("state", &state);
  if (state == "active") {
    query.filter.state = BanState::kActive;
  } else if (state == "ended") {
    query.filter.state = BanState::kEnded;
  } else if (!state.empty() && state != "all") {
    read.fail("state is active, ended or all");
  }
  read.page(&query.page);
  query.error = read.error();
  return query;
}

RecordQuery<AuditFilter> auditQuery(const ParamLookup& param) {
  RecordQuery<AuditFilter> query;
  Reader read(param);
  read.text("actor", &query.filter.actor);
  read.text("action", &query.filter.action);
  read.text("target", &query.filter.target);
  read.text("server", &query.filter.server);
  query.filter.from = read.number("from", 0);
  query.filter.to = read.number("to", 0);
  read.page(&query.page);
  query.error = read.error();
  return query;
}

}  // namespace gsadmin
