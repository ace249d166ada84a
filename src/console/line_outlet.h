#ifndef GSADMIN_CONSOLE_LINE_OUTLET_H_
#define GSADMIN_CONSOLE_LINE_OUTLET_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace gsadmin {

// Writes lines to file descriptors without ever leaving its caller blocked
// on a reader that stopped reading: a pipe nobody empties, a stuck log
// collector, a terminal held by flow control. A line is written at once
// when nothing waits before it and the descriptor has room for it, as
// before; otherwise it waits, in order, for a thread of the outlet's own.
// At most kMaxWaitingBytes wait; the lines past that are dropped and
// counted. Lines keep their order across descriptors. What each
// descriptor is (a file never waits for a reader) is asked once.
class LineOutlet {
 public:
  static constexpr size_t kMaxWaitingBytes = 1024 * 1024;
  static constexpr int kDefaultExitPatienceMs = 2000;

  // The destructor gives the lines still waiting `exitPatienceMs` to be
  // written, then leaves them (the thread goes with the process).
  explicit LineOutlet(int exitPatienceMs = kDefaultExitPatienceMs);
  ~LineOutlet();
  LineOutlet(const LineOutlet&) = delete;
  LineOutlet& operator=(const LineOutlet&) = delete;

  // `text` and a '\n' to `fd`. Safe from any thread.
  void write(int fd, std::string_view text);

  // Waits up to `timeoutMs` until no line waits; whether none does.
  bool drain(int timeoutMs);

  // The lines dropped since the last call, once every line that waited has
  // been written (so that a report of them comes after those lines); 0
  // before then.
  uint64_t takeDropped();

 private:
  struct Shared;  // shared with the thread, which may outlive the outlet
  std::shared_ptr<Shared> shared_;
  int exitPatienceMs_;
};

}  // namespace gsadmin

#endif  // GSADMIN_CONSOLE_LINE_OUTLET_H_
