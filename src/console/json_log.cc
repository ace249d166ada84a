#include "console/json_log.h"

#include <array>
#include <charconv>
#include <cstring>
#include <ctime>

namespace gsadmin {
namespace {

// The length of the valid UTF-8 sequence at text[i] (a lead byte of 0xC2
// or above), or 0 when it is not one: no overlong form, no surrogate,
// nothing past U+10FFFF.
size_t utf8SequenceAt(std::string_view text, size_t i) {
  auto byte = [&](size_t at) { return static_cast<unsigned char>(text[at]); };
  unsigned char lead = byte(i);
  size_t length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  if (lead > 0xF4 || i + length > text.size()) return 0;
  unsigned char low = 0x80, high = 0xBF;
  if (lead == 0xE0) low = 0xA0;
  if (lead == 0xED) high = 0x9F;
  if (lead == 0xF0) low = 0x90;
  if (lead == 0xF4) high = 0x8F;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (size_t k = 2; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  }
  return length;
}

constexpr char kHexDigits[] = "0123456789abcdef";

char* writeEscapedByte(unsigned char c, char* p) {
  p[0] = '\\';
  p[1] = 'u';
  p[2] = '0';
  p[3] = '0';
  p[4] = kHexDigits[c >> 4];
  p[5] = kHexDigits[c & 0xF];
  return p + 6;
}

// The bytes a JSON string holds as they are: printable ASCII but the quote
// and the backslash. A table, as the log formats every console line.
constexpr std::array<bool, 256> kPlainBytes = [] {
  std::array<bool, 256> plain{};
  for (int c = 0x20; c < 0x7F; ++c) plain[static_cast<size_t>(c)] = c != '"' && c != '\\';
  return plain;
}();

void appendDigits(int value, int width, char* at) {
  for (int i = width - 1; i >= 0; --i) {
    at[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
}

// The most bytes a text takes as a JSON string: every byte escaped, quotes.
size_t mostJsonBytes(std::string_view text) {
  return text.size() * 6 + 2;
}

// Writes `text` as a JSON string at `p`, which has mostJsonBytes(text)
// bytes of room; the end of what it wrote.
char* writeJsonString(std::string_view text, char* p) {
  *p++ = '"';
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = bytes[i];
    if (kPlainBytes[c]) {
      *p++ = static_cast<char>(c);
      ++i;
    } else if (c == '"' || c == '\\') {
      *p++ = '\\';
      *p++ = static_cast<char>(c);
      ++i;
    } else if (size_t length = c >= 0xC2 ? utf8SequenceAt(text, i) : 0) {
      std::memcpy(p, bytes + i, length);
      p += length;
      i += length;
    } else {
      p = writeEscapedByte(c, p);  // controls, DEL, bytes outside UTF-8
      ++i;
    }
  }
  *p++ = '"';
  return p;
}

char* writeText(std::string_view text, char* p) {
  std::memcpy(p, text.data(), text.size());
  return p + text.size();
}

// A literal's bytes, copied with a size the compiler knows.
template <size_t N>
char* writeLiteral(const char (&text)[N], char* p) {
  std::memcpy(p, text, N - 1);
  return p + N - 1;
}

}  // namespace

void appendJsonString(std::string_view text, std::string& out) {
  size_t base = out.size();
  out.resize(base + mostJsonBytes(text));
  char* end = writeJsonString(text, out.data() + base);
  out.resize(static_cast<size_t>(end - out.data()));
}

std::string rfc3339Utc(int64_t unixMs) {
  std::string out;
  JsonLogFormatter().appendTime(unixMs, out);
  return out;
}

void JsonLogFormatter::appendTime(int64_t unixMs, std::string& out) {
  size_t base = out.size();
  out.resize(base + kTimeBytes);
  writeTime(unixMs, out.data() + base);
}

char* JsonLogFormatter::writeTime(int64_t unixMs, char* p) {
  int64_t seconds = unixMs / 1000;
  int millis = static_cast<int>(unixMs % 1000);
  if (millis < 0) {
    millis += 1000;
    --seconds;
  }
  // gmtime_r once a second: lines come many a second.
  if (!second_ || *second_ != seconds) {
    std::time_t when = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&when, &parts);
    appendDigits(parts.tm_year + 1900, 4, secondText_);
    secondText_[4] = '-';
    appendDigits(parts.tm_mon + 1, 2, secondText_ + 5);
    secondText_[7] = '-';
    appendDigits(parts.tm_mday, 2, secondText_ + 8);
    secondText_[10] = 'T';
    appendDigits(parts.tm_hour, 2, secondText_ + 11);
    secondText_[13] = ':';
    appendDigits(parts.tm_min, 2, secondText_ + 14);
    secondText_[16] = ':';
    appendDigits(parts.tm_sec, 2, secondText_ + 17);
    second_ = seconds;
  }
  std::memcpy(p, secondText_, sizeof secondText_);
  p += sizeof secondText_;
  *p++ = '.';
  appendDigits(millis, 3, p);
  p += 3;
  *p++ = 'Z';
  return p;
}

void appendJsonLogLine(const LogEntry& entry, int64_t unixMs, std::string& out) {
  JsonLogFormatter().append(entry, unixMs, out);
}

void JsonLogFormatter::append(const LogEntry& entry, int64_t unixMs, std::string& out) {
  std::string line;
  size_t length = write(entry, unixMs, line);
  out.append(line, 0, length);
}

// The line is written in place in room for its longest form, and the
// buffer only grows, as the log formats every console line.
size_t JsonLogFormatter::write(const LogEntry& entry, int64_t unixMs, std::string& buffer) {
  constexpr size_t kFixedBytes = 64;  // braces, time, kind and the names around them
  constexpr size_t kNumberBytes = 24;
  size_t room = kFixedBytes + mostJsonBytes(entry.text);
  for (size_t i = 0; i < entry.fieldCount; ++i) {
    const LogField& field = entry.fields[i];
    room +=
        mostJsonBytes(field.key) + 2 + (field.isNumber ? kNumberBytes : mostJsonBytes(field.text));
  }
  if (buffer.size() < room) buffer.resize(room);
  char* p = buffer.data();
  p = writeLiteral("{\"time\":\"", p);
  p = writeTime(unixMs, p);
  p = writeLiteral("\",\"kind\":\"", p);
  p = writeText(logKindName(entry.kind), p);
  *p++ = '"';
  for (size_t i = 0; i < entry.fieldCount; ++i) {
    const LogField& field = entry.fields[i];
    *p++ = ',';
    p = writeJsonString(field.key, p);
    *p++ = ':';
    if (field.isNumber) {
      p = std::to_chars(p, p + kNumberBytes, field.number).ptr;
    } else {
      p = writeJsonString(field.text, p);
    }
  }
  p = writeLiteral(",\"text\":", p);
  p = writeJsonString(entry.text, p);
  p = writeLiteral("}\n", p);
  return static_cast<size_t>(p - buffer.data());
}

}  // namespace gsadmin
