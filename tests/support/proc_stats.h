#ifndef GSADMIN_TESTS_SUPPORT_PROC_STATS_H_
#define GSADMIN_TESTS_SUPPORT_PROC_STATS_H_

#include <sys/types.h>

#include <cstdint>
#include <optional>

namespace gsadmin::testing {

// Readings of a live process and of the kernel's UDP table, from /proc.
// Each is empty when the process or socket is gone or the file unreadable.

// Whether a resident size says what the program itself uses: under
// AddressSanitizer freed memory waits in a quarantine and shadow memory is
// mapped, so a ceiling on RSS tells nothing there.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kResidentSizeIsTheProgramsOwn = false;
#else
inline constexpr bool kResidentSizeIsTheProgramsOwn = true;
#endif

// VmRSS of the process, in KiB.
std::optional<uint64_t> residentKiB(pid_t pid);

// The process's threads (Threads: in /proc/<pid>/status).
std::optional<int> threadCount(pid_t pid);

// User plus system CPU time the process has used, in seconds. The kernel
// counts in clock ticks (usually 10 ms).
std::optional<double> cpuSeconds(pid_t pid);

// Time the scheduler ran the process on a CPU, in seconds, to the
// nanosecond (/proc/<pid>/schedstat); unlike cpuSeconds() it is not sampled
// at clock ticks, so short bursts are counted exactly.
std::optional<double> onCpuSeconds(pid_t pid);

// Times the process was switched off a CPU, voluntarily (it waited) or
// not (/proc/<pid>/status); for a one-thread process that sleeps in one
// place, each voluntary switch is one wait, so the count is its wakeups.
std::optional<uint64_t> contextSwitches(pid_t pid);

// What the process wrote, from /proc/<pid>/io: wchar, the bytes of every
// write call, and write_bytes, those it sent toward the storage.
struct IoCounters {
  uint64_t writeCalls = 0;    // wchar
  uint64_t storageBytes = 0;  // write_bytes
};
std::optional<IoCounters> ioCounters(pid_t pid);

// Datagrams the kernel dropped for the IPv4 UDP socket bound to
// 127.0.0.1:port because its receive queue was full.
std::optional<uint64_t> udpDrops(uint16_t localPort);

}  // namespace gsadmin::testing

#endif  // GSADMIN_TESTS_SUPPORT_PROC_STATS_H_
