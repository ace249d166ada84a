#include "platform/clock.h"

#include <cerrno>
#include <ctime>

namespace gsadmin {

uint64_t SystemClock::nowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

void SystemClock::sleepMs(uint32_t milliseconds) {
  timespec remaining{static_cast<time_t>(milliseconds / 1000),
                     static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

int64_t SystemClock::wallSeconds() {
  return static_cast<int64_t>(std::time(nullptr));
}

}  // namespace gsadmin
