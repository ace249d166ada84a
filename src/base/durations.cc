#include "base/durations.h"

#include <ctime>

namespace gsadmin {
namespace {

int64_t unitSeconds(char unit) {
  switch (unit) {
    case 's':
      return 1;
    case 'm':
      return 60;
    case 'h':
      return 3600;
    case 'd':
      return 24 * 3600;
    case 'w':
      return 7 * 24 * 3600;
    default:
      return 0;
  }
}

}  // namespace

std::optional<int64_t> parseDuration(std::string_view text) {
  if (text.empty()) return std::nullopt;
  int64_t total = 0;
  size_t i = 0;
  while (i < text.size()) {
    int64_t number = 0;
    size_t digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
      // Stops growing long before it could overflow; the cap refuses it.
      if (number <= kMaxDurationSeconds) number = number * 10 + (text[i] - '0');
    }
    if (digits == 0 || i == text.size()) return std::nullopt;
    int64_t unit = unitSeconds(text[i++]);
    if (unit == 0 || number > kMaxDurationSeconds / unit) return std::nullopt;
    total += number * unit;
    if (total > kMaxDurationSeconds) return std::nullopt;
  }
  if (total == 0) return std::nullopt;
  return total;
}

std::string formatDuration(int64_t seconds) {
  if (seconds <= 0) return "0s";
  std::string text;
  const struct {
    int64_t size;
    char unit;
  } kParts[] = {{24 * 3600, 'd'}, {3600, 'h'}, {60, 'm'}, {1, 's'}};
  for (const auto& part : kParts) {
    if (seconds >= part.size) {
      text += std::to_string(seconds / part.size) + part.unit;
      seconds %= part.size;
    }
  }
  return text;
}

std::string formatUtcTime(int64_t unixSeconds) {
  std::time_t time = static_cast<std::time_t>(unixSeconds);
  std::tm parts{};
  if (gmtime_r(&time, &parts) == nullptr) return "?";
  char text[64];
  size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &parts);
  return length == 0 ? "?" : std::string(text, length);
}

}  // namespace gsadmin
