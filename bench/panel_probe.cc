#include "panel_probe.h"

#include <httplib.h>

namespace gsadmin::bench {

PanelProbe::PanelProbe(int port, testing::WebUser user, std::vector<std::string> paths)
    : answers_(paths.size()) {
  for (size_t i = 0; i < paths.size(); ++i) {
    threads_.emplace_back(
        [this, port, user, path = paths[i], i]() { run(port, user, path, answers_[i]); });
  }
}

void PanelProbe::stop() {
  done_ = true;
  for (std::thread& thread : threads_) {
    if (thread.joinable()) thread.join();
  }
}

void PanelProbe::run(int port, const testing::WebUser& user, const std::string& path,
                     std::vector<Answer>& answers) {
  httplib::Client http("127.0.0.1", port);
  http.set_read_timeout(std::chrono::seconds(30));
  PlayClock::time_point next = PlayClock::now();
  while (!done_) {
    std::this_thread::sleep_until(next);
    PlayClock::time_point sent = PlayClock::now();
    httplib::Result result = http.Get(path, testing::headersOf(user, false));
    PlayClock::time_point now = PlayClock::now();
    double ms = std::chrono::duration<double, std::milli>(now - sent).count();
    answers.push_back({{sent, ms}, result ? result->status : -1});
    next += std::chrono::milliseconds(kEveryMs);
    if (next < now) next = now;  // a slow answer delays the next, never bunches them
  }
}

std::vector<TimedSample> PanelProbe::samplesOf(size_t path) const {
  std::vector<TimedSample> samples;
  for (const Answer& answer : answers_[path]) samples.push_back(answer.sample);
  return samples;
}

size_t PanelProbe::countWithStatus(size_t path, int status, PlayClock::time_point from,
                                   PlayClock::time_point to) const {
  size_t count = 0;
  for (const Answer& answer : answers_[path]) {
    if (answer.status == status && answer.sample.at >= from && answer.sample.at < to) ++count;
  }
  return count;
}

}  // namespace gsadmin::bench
