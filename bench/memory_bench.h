#ifndef GSADMIN_BENCH_MEMORY_BENCH_H_
#define GSADMIN_BENCH_MEMORY_BENCH_H_

#include <cstdint>
#include <string>

namespace gsadmin::bench {

// Resident memory of the real binary with the counting script: logged in
// but with nobody on the server, and with a full server of 256 players (ids
// 0 to 255, all listed in the acceptance, details answered, each moved once
// on foot and a quarter of them into vehicles).
struct MemoryResult {
  uint64_t emptyKiB = 0;
  uint64_t fullKiB = 0;
  bool complete = false;
};
// `program`: the binary measured (the one built here when empty).
MemoryResult measureFullServerMemory(const std::string& program = "");

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_MEMORY_BENCH_H_
