#ifndef GSADMIN_BENCH_PANEL_PROBE_H_
#define GSADMIN_BENCH_PANEL_PROBE_H_

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "game_play.h"
#include "support/panel_client.h"

namespace gsadmin::bench {

// Asks the panel at `port`, as `user`, for each of `paths` every kEveryMs,
// each path on a thread of its own (so that a slow answer to one delays
// no other), and notes each answer's time and status until stopped.
class PanelProbe {
 public:
  static constexpr int kEveryMs = 100;

  struct Answer {
    TimedSample sample;
    int status = 0;  // -1: no answer
  };

  PanelProbe(int port, testing::WebUser user, std::vector<std::string> paths);
  ~PanelProbe() { stop(); }
  PanelProbe(const PanelProbe&) = delete;
  PanelProbe& operator=(const PanelProbe&) = delete;

  // Ends the requests (those under way first) and joins the threads;
  // what follows may be read after it.
  void stop();

  // The answers to path `path` (its index in `paths`) as samples, and how
  // many of those sent in [from, to) had `status`.
  std::vector<TimedSample> samplesOf(size_t path) const;
  size_t countWithStatus(size_t path, int status, PlayClock::time_point from,
                         PlayClock::time_point to) const;

 private:
  void run(int port, const testing::WebUser& user, const std::string& path,
           std::vector<Answer>& answers);

  std::vector<std::vector<Answer>> answers_;  // by path
  std::atomic<bool> done_{false};
  std::vector<std::thread> threads_;
};

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_PANEL_PROBE_H_
