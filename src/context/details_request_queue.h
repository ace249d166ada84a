#ifndef GSADMIN_CONTEXT_DETAILS_REQUEST_QUEUE_H_
#define GSADMIN_CONTEXT_DETAILS_REQUEST_QUEUE_H_

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace gsadmin {

// The player-details requests that joins asked for and that wait for their
// moment (the end of the loop's pass that read the join). The queue knows nothing of clocks or
// sockets; its owner passes the time in and sends what is due. One entry per join, sent even when
// the player left meanwhile (each join has its one request, as it had when the join waited in
// place), so it holds at most the joins of one delay.
class DetailsRequestQueue {
 public:
  // One request for `id`, due at `dueMs`; a second join of the same id
  // gets one of its own.
  void schedule(uint8_t id, uint64_t dueMs);
  // When the earliest request is due, or empty when none waits.
  std::optional<uint64_t> nextDueMs() const;
  // Takes every request due at `nowMs` (dueMs <= nowMs) off the queue and
  // returns their ids, in order of due time, then of scheduling.
  std::vector<uint8_t> takeDue(uint64_t nowMs);

  size_t size() const { return pending_.size(); }

 private:
  std::multimap<uint64_t, uint8_t> pending_;  // ids by due time; ties keep their order
};

}  // namespace gsadmin

#endif  // GSADMIN_CONTEXT_DETAILS_REQUEST_QUEUE_H_
