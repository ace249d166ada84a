#include "console/timestamp.h"

namespace gsadmin {

std::string formatTimestampPrefix(const std::tm& when) {
  char text[64];
  // Years past 9999 still fit; strftime returns 0 only if they did not.
  size_t length = std::strftime(text, sizeof text, "[%Y-%m-%d %H:%M:%S] ", &when);
  return std::string(text, length);
}

std::string localTimestampPrefix(std::time_t when) {
  std::tm local{};
  // Only a time beyond what the system can break down fails here.
  if (localtime_r(&when, &local) == nullptr) return "[0000-00-00 00:00:00] ";
  return formatTimestampPrefix(local);
}

}  // namespace gsadmin
