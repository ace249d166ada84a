#ifndef GSADMIN_BENCH_RECORDS_BENCH_H_
#define GSADMIN_BENCH_RECORDS_BENCH_H_

#include <cstdint>
#include <string>

namespace gsadmin::bench {

// What recording a steady chat costs the disk: the real binary at `program`
// (moderation on, its database beside the script in a temporary directory
// on disk) gets `linesPerSecond` chat lines for `seconds`. Bytes written are
// those of /proc/PID/io over the run: write_bytes (what reached the page
// cache for the disk) and wchar (every write call, output included). A
// second connection reads the chat table every 20 ms; a line's lag is from
// its sending to the first reading that holds it.
struct RecordWrites {
  uint64_t lines = 0;
  uint64_t recorded = 0;  // rows of gs_chat at the end
  double diskBytesPerLine = 0;
  double writtenBytesPerLine = 0;  // wchar
  double maxLagMs = 0;             // sending to readable on another connection
  double p99LagMs = 0;
  bool complete = false;
};
RecordWrites measureRecordWrites(const std::string& program, int linesPerSecond, int seconds);

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_RECORDS_BENCH_H_
