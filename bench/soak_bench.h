#ifndef GSADMIN_BENCH_SOAK_BENCH_H_
#define GSADMIN_BENCH_SOAK_BENCH_H_

#include <cstdint>
#include <string>
#include <vector>

namespace gsadmin::bench {

// Whether memory levels off under a long steady load: the real binary at
// `program` (moderation on) with 32 players gets `updatesPerSecond` position
// updates and `chatPerSecond` chat lines for `seconds`; its VmRSS is read
// every `sampleSeconds`. Growth counts from the first minute's end.
struct SoakRun {
  int seconds = 0;
  std::vector<uint64_t> residentKiB;  // one a sample, from the start
  int sampleSeconds = 0;
  uint64_t growthAfterFirstMinuteKiB = 0;
  uint64_t lastMinuteGrowthKiB = 0;  // over the last minute alone
  bool complete = false;
};
SoakRun measureSoak(const std::string& program, int seconds, int updatesPerSecond,
                    int chatPerSecond, int sampleSeconds);

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_SOAK_BENCH_H_
