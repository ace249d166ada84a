#include "support/proc_stats.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace gsadmin::testing {

std::optional<uint64_t> residentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) != 0) continue;
    std::istringstream fields(line.substr(6));
    uint64_t kib = 0;
    if (fields >> kib) return kib;
    return std::nullopt;
  }
  return std::nullopt;
}

std::optional<int> threadCount(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Threads:", 0) != 0) continue;
    std::istringstream fields(line.substr(8));
    int threads = 0;
    if (fields >> threads) return threads;
    return std::nullopt;
  }
  return std::nullopt;
}

std::optional<double> cpuSeconds(pid_t pid) {
  std::ifstream statFile("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  if (!std::getline(statFile, stat)) return std::nullopt;
  // The command name may hold spaces and parentheses; the fields that follow
  // start after its last ')'. utime and stime are fields 14 and 15 overall,
  // the 12th and 13th after the name.
  size_t close = stat.rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(stat.substr(close + 1));
  std::string field;
  uint64_t utime = 0, stime = 0;
  for (int i = 1; i <= 13; ++i) {
    if (!(fields >> field)) return std::nullopt;
    if (i == 12) utime = std::stoull(field);
    if (i == 13) stime = std::stoull(field);
  }
  long ticks = sysconf(_SC_CLK_TCK);
  if (ticks <= 0) return std::nullopt;
  return static_cast<double>(utime + stime) / static_cast<double>(ticks);
}

std::optional<uint64_t> contextSwitches(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  uint64_t total = 0;
  int found = 0;
  while (std::getline(status, line)) {
    for (const char* key : {"voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:"}) {
      std::string prefix(key);
      if (line.rfind(prefix, 0) == 0) {
        total += std::strtoull(line.c_str() + prefix.size(), nullptr, 10);
        ++found;
      }
    }
  }
  if (found != 2) return std::nullopt;
  return total;
}

std::optional<double> onCpuSeconds(pid_t pid) {
  std::ifstream schedstat("/proc/" + std::to_string(pid) + "/schedstat");
  uint64_t nanoseconds = 0;
  if (!(schedstat >> nanoseconds)) return std::nullopt;
  return static_cast<double>(nanoseconds) / 1e9;
}

std::optional<IoCounters> ioCounters(pid_t pid) {
  std::ifstream io("/proc/" + std::to_string(pid) + "/io");
  std::string key;
  uint64_t value = 0;
  IoCounters counters;
  int found = 0;
  while (io >> key >> value) {
    if (key == "wchar:") counters.writeCalls = value, ++found;
    if (key == "write_bytes:") counters.storageBytes = value, ++found;
  }
  if (found != 2) return std::nullopt;
  return counters;
}

std::optional<uint64_t> udpDrops(uint16_t localPort) {
  std::ifstream table("/proc/net/udp");
  std::string line;
  std::getline(table, line);  // the header
  char wanted[16];
  std::snprintf(wanted, sizeof(wanted), "0100007F:%04X", static_cast<unsigned>(localPort));
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, local;
    if (!(fields >> slot >> local) || local != wanted) continue;
    // The drops counter is the last column.
    std::string field, last;
    while (fields >> field) last = field;
    if (last.empty()) return std::nullopt;
    return std::stoull(last);
  }
  return std::nullopt;
}

}  // namespace gsadmin::testing
