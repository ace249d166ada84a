#include "rules/time_zone.h"

#include <algorithm>
#include <fstream>

#include "base/durations.h"

namespace gsadmin {
namespace {

constexpr size_t kMaxZoneNameBytes = 64;
constexpr size_t kHeaderBytes = 44;
// Counts past these are no real zone's.
constexpr uint32_t kMaxTransitions = 4000;
constexpr uint32_t kMaxTypes = 256;
bool isZoneName(std::string_view name) {
  if (name.empty() || name.size() > kMaxZoneNameBytes || name.front() == '/' ||
      name.find("..") != std::string_view::npos) {
    return false;
  }
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
           c == '_' || c == '-' || c == '+';
  });
}

uint32_t readUnsigned(std::string_view bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

int64_t readSigned64(std::string_view bytes, size_t at) {
  uint64_t value = 0;
  for (size_t i = 0; i < 8; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return static_cast<int64_t>(value);
}

struct Counts {
  uint32_t utc, standard, leaps, times, types, chars;
  // The bytes of the data block with `timeBytes` per time.
  size_t blockBytes(size_t timeBytes) const {
    return times * (timeBytes + 1) + types * 6 + chars + leaps * (timeBytes + 4) + standard + utc;
  }
};

std::optional<Counts> readHeader(std::string_view bytes, size_t at) {
  if (bytes.size() < at + kHeaderBytes || bytes.substr(at, 4) != "TZif") return std::nullopt;
  Counts counts{readUnsigned(bytes, at + 20), readUnsigned(bytes, at + 24),
                readUnsigned(bytes, at + 28), readUnsigned(bytes, at + 32),
                readUnsigned(bytes, at + 36), readUnsigned(bytes, at + 40)};
  if (counts.times > kMaxTransitions || counts.types == 0 || counts.types > kMaxTypes ||
      counts.leaps > kMaxTransitions || counts.chars > 65536 || counts.utc > kMaxTypes ||
      counts.standard > kMaxTypes) {
    return std::nullopt;
  }
  return counts;
}

}  // namespace

TimeZone::TimeZone(std::string name, int32_t initial, std::vector<Transition> transitions,
                   std::optional<ZoneRule> rule)
    : name_(std::move(name)),
      initial_(initial),
      transitions_(std::move(transitions)),
      rule_(std::move(rule)) {}

std::optional<TimeZone> TimeZone::fromTzif(std::string name, std::string_view bytes,
                                           std::string* error) {
  *error = "not a zone file";
  std::optional<Counts> first = readHeader(bytes, 0);
  if (!first || bytes[4] < '2') return std::nullopt;  // version 2 has 64-bit times
  size_t second = kHeaderBytes + first->blockBytes(4);
  std::optional<Counts> counts = readHeader(bytes, second);
  size_t data = second + kHeaderBytes;
  if (!counts || bytes.size() < data + counts->blockBytes(8)) return std::nullopt;
  size_t indexes = data + counts->times * 8;
  size_t types = indexes + counts->times;
  std::vector<Transition> transitions;
  for (uint32_t i = 0; i < counts->times; ++i) {
    auto type = static_cast<unsigned char>(bytes[indexes + i]);
    if (type >= counts->types) return std::nullopt;
    int32_t offset = static_cast<int32_t>(readUnsigned(bytes, types + type * 6));
    int64_t at = readSigned64(bytes, data + i * 8);
    if (!transitions.empty() && at <= transitions.back().at) return std::nullopt;
    transitions.push_back({at, offset});
  }
  int32_t initial = static_cast<int32_t>(readUnsigned(bytes, types));
  // The footer: "\nTZ\n" after the block.
  std::string_view footer = bytes.substr(data + counts->blockBytes(8));
  std::optional<ZoneRule> rule;
  if (footer.size() >= 2 && footer.front() == '\n') {
    size_t end = footer.find('\n', 1);
    if (end != std::string_view::npos) rule = ZoneRule::parse(footer.substr(1, end - 1));
  }
  error->clear();
  return TimeZone(std::move(name), initial, std::move(transitions), rule);
}

std::optional<TimeZone> TimeZone::load(std::string_view name, std::string* error,
                                       const std::string& root) {
  if (name == "UTC") return TimeZone();
  if (!isZoneName(name)) {
    *error = "\"" + std::string(name.substr(0, kMaxZoneNameBytes)) + "\" is no zone name";
    return std::nullopt;
  }
  std::ifstream file(root + "/" + std::string(name), std::ios::binary);
  std::string bytes(kMaxZoneFileBytes + 1, '\0');
  if (file) file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(file.gcount()));
  if (bytes.empty() || bytes.size() > kMaxZoneFileBytes) {
    *error = "no zone \"" + std::string(name) + "\" in " + root;
    return std::nullopt;
  }
  std::optional<TimeZone> zone = fromTzif(std::string(name), bytes, error);
  if (!zone) *error = "zone \"" + std::string(name) + "\": " + *error;
  return zone;
}

int32_t TimeZone::offsetAt(int64_t utc) const {
  auto after = std::upper_bound(transitions_.begin(), transitions_.end(), utc,
                                [](int64_t at, const Transition& t) { return at < t.at; });
  if (after == transitions_.end() && rule_) return rule_->offsetAt(utc);
  if (after == transitions_.begin()) return initial_;
  return std::prev(after)->offset;
}

int64_t TimeZone::toUtc(int64_t local) const {
  // Offsets change at most once in a day around any moment of real zones.
  int32_t before = offsetAt(local - kSecondsPerDay);
  int32_t after = offsetAt(local + kSecondsPerDay);
  bool beforeHolds = offsetAt(local - before) == before;
  bool afterHolds = offsetAt(local - after) == after;
  if (beforeHolds && afterHolds) return std::min(local - before, local - after);
  if (beforeHolds) return local - before;
  if (afterHolds) return local - after;
  // Skipped: the jump lies between the two readings; find its second.
  int64_t low = std::min(local - before, local - after);
  int64_t high = std::max(local - before, local - after);
  int32_t lowOffset = offsetAt(low);
  while (high - low > 1) {
    int64_t middle = low + (high - low) / 2;
    (offsetAt(middle) == lowOffset ? low : high) = middle;
  }
  return high;
}

}  // namespace gsadmin
