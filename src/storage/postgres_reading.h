#ifndef GSADMIN_STORAGE_POSTGRES_READING_H_
#define GSADMIN_STORAGE_POSTGRES_READING_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/clock.h"
#include "storage/postgres_database.h"

namespace gsadmin {

// The monotonic clock a statement's silence and a connection's wait are
// timed by (real time: they wait on a real server).
inline uint64_t steadyMs() {
  return SystemClock().nowMs();
}

// What one statement's results came to, while they are read.
struct PostgresDatabase::Reading {
  size_t resultBytes = 0;
  // When the server last sent something, or the cancel request was made.
  uint64_t heardMs = 0;
  bool cancelled = false;
  bool complete = false;              // every result was read
  const char* stop = nullptr;         // the interrupt check's reason
  bool tooLarge = false;              // past maxResultBytes_
  bool copyingOut = false;            // a COPY TO STDOUT's data is being dropped
  std::optional<std::string> failed;  // the server's message, or why a value was refused
};

}  // namespace gsadmin

#endif  // GSADMIN_STORAGE_POSTGRES_READING_H_
