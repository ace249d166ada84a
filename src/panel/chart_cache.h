#ifndef GSADMIN_PANEL_CHART_CACHE_H_
#define GSADMIN_PANEL_CHART_CACHE_H_

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "platform/clock.h"

namespace gsadmin {

// The charts' answers, kept for kKeepMs by key (the range, "hour" or
// "day", and the server; only a fleet's servers are stored): a chart
// read scans a day of chat, and a browser that asks again within a minute
// gets the same picture at no cost. Every operation locks. The clock must
// outlive the cache and be safe to read from any thread.
class ChartCache {
 public:
  static constexpr uint64_t kKeepMs = 60 * 1000;

  explicit ChartCache(Clock& clock) : clock_(clock) {}

  // The answer stored for `key` less than kKeepMs ago, or nothing.
  std::optional<std::string> find(const std::string& key);
  // Keeps `body` as the answer for `key` from now on.
  void store(const std::string& key, std::string body);

 private:
  struct Entry {
    uint64_t storedMs = 0;
    std::string body;
  };

  Clock& clock_;
  std::mutex mutex_;
  std::map<std::string, Entry> entries_;  // ranges times the fleet's servers
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_CHART_CACHE_H_
