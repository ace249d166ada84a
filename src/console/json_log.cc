#include "console/json_log.h"

#include <cstdio>
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

void appendEscapedByte(unsigned char c, std::string& out) {
  char escaped[8];
  std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
  out.append(escaped, 6);
}

}  // namespace

void appendJsonString(std::string_view text, std::string& out) {
  out.push_back('"');
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      size_t run = i + 1;
      while (run < text.size()) {
        unsigned char next = static_cast<unsigned char>(text[run]);
        if (next < 0x20 || next >= 0x7F || next == '"' || next == '\\') break;
        ++run;
      }
      out.append(text.substr(i, run - i));
      i = run;
      continue;
    }
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c >= 0xC2) {
      if (size_t length = utf8SequenceAt(text, i)) {
        out.append(text.substr(i, length));
        i += length;
        continue;
      }
      appendEscapedByte(c, out);
    } else {
      appendEscapedByte(c, out);  // controls, DEL, stray continuation bytes
    }
    ++i;
  }
  out.push_back('"');
}

std::string rfc3339Utc(int64_t unixMs) {
  std::time_t seconds = static_cast<std::time_t>(unixMs / 1000);
  int millis = static_cast<int>(unixMs % 1000);
  if (millis < 0) {
    millis += 1000;
    --seconds;
  }
  std::tm when{};
  gmtime_r(&seconds, &when);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", when.tm_year + 1900,
                when.tm_mon + 1, when.tm_mday, when.tm_hour, when.tm_min, when.tm_sec, millis);
  return text;
}

void appendJsonLogLine(const LogEntry& entry, int64_t unixMs, std::string& out) {
  out.append("{\"time\":\"");
  out.append(rfc3339Utc(unixMs));
  out.append("\",\"kind\":\"");
  out.append(logKindName(entry.kind));
  out.push_back('"');
  for (size_t i = 0; i < entry.fieldCount; ++i) {
    const LogField& field = entry.fields[i];
    out.push_back(',');
    appendJsonString(field.key, out);
    out.push_back(':');
    if (field.isNumber) {
      out.append(std::to_string(field.number));
    } else {
      appendJsonString(field.text, out);
    }
  }
  out.append(",\"text\":");
  appendJsonString(entry.text, out);
  out.append("}\n");
}

}  // namespace gsadmin
