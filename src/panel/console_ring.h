#ifndef GSADMIN_PANEL_CONSOLE_RING_H_
#define GSADMIN_PANEL_CONSOLE_RING_H_

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "console/console.h"
#include "panel/change_signal.h"
#include "platform/clock.h"

namespace gsadmin {

// One console line as the panel's streams see it.
struct ConsoleEntry {
  uint64_t seq = 0;  // 1 for the first line, one more for each
  std::string text;
  bool error = false;  // a diagnostic of standard error
  // Seconds since the epoch when it was printed; 0 before the ring had a
  // clock (the lines of the client's start).
  int64_t time = 0;
};

// The latest console lines, for the panel's streams. The loop appends; any
// thread reads. A reader that falls behind by more than kCapacity lines
// skips the lost ones (it sees a gap in the numbers): the loop never waits
// for a reader.
class ConsoleRing {
 public:
  static constexpr size_t kCapacity = 2000;
  // Longer lines are cut here, so the ring's memory stays bounded.
  static constexpr size_t kMaxLineBytes = 4096;

  // `signal` is notified at every line.
  explicit ConsoleRing(std::shared_ptr<ChangeSignal> signal) : signal_(std::move(signal)) {}

  // From now on every line is stamped with `clock`'s wall time; null
  // stops the stamps. On the loop, which appends; `clock` must outlive the
  // ring or be taken back with null.
  void stampWith(Clock* clock);
  void append(std::string_view text, bool error);
  // The lines numbered after `seq`, oldest first, at most `count`.
  std::vector<ConsoleEntry> since(uint64_t seq, size_t count);
  // The number of the latest line; 0 before the first.
  uint64_t lastSeq();

 private:
  std::shared_ptr<ChangeSignal> signal_;
  std::mutex mutex_;
  std::deque<ConsoleEntry> lines_;
  uint64_t lastSeq_ = 0;
  Clock* clock_ = nullptr;  // not owned; read and set on the loop alone
};

// A console that passes every line to `inner` and also keeps it in `ring`.
class RingConsole : public Console {
 public:
  RingConsole(std::unique_ptr<Console> inner, std::shared_ptr<ConsoleRing> ring)
      : inner_(std::move(inner)), ring_(std::move(ring)) {}

  void line(std::string_view text) override;
  void errorLine(std::string_view text) override;
  void entry(const LogEntry& entry) override;

 private:
  std::unique_ptr<Console> inner_;
  std::shared_ptr<ConsoleRing> ring_;
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_CONSOLE_RING_H_
