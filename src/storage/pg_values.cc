#include "storage/pg_values.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "storage/libpq_api.h"
#include "storage/sql_sandbox.h"

namespace gsadmin {
namespace {

// The server's type numbers (its catalogue's fixed OIDs).
constexpr Oid kBool = 16;
constexpr Oid kBytea = 17;
constexpr Oid kInt8 = 20;
constexpr Oid kInt2 = 21;
constexpr Oid kInt4 = 23;
constexpr Oid kOid = 26;
constexpr Oid kFloat4 = 700;
constexpr Oid kFloat8 = 701;
constexpr Oid kNumeric = 1700;

constexpr int kTextFormat = 0;
constexpr int kBinaryFormat = 1;

std::string integerText(int64_t value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%" PRId64, value);
  return buffer;
}

std::string realText(double value) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

struct Unescaped {
  void operator()(unsigned char* bytes) const { libPq()->freemem(bytes); }
};

}  // namespace

std::string firstLine(const char* message, const char* fallback) {
  std::string line = message ? message : "";
  size_t end = line.find('\n');
  if (end != std::string::npos) line.resize(end);
  return oneLine(line.c_str(), fallback);
}

std::string oneLine(const char* message, const char* fallback) {
  std::string line = message ? message : "";
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return line.empty() ? fallback : line;
}

bool isUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    auto c = static_cast<unsigned char>(text[i]);
    size_t length = c < 0x80           ? 1
                    : (c >> 5) == 0x6  ? 2
                    : (c >> 4) == 0xE  ? 3
                    : (c >> 3) == 0x1E ? 4
                                       : 0;
    if (length == 0 || i + length > text.size()) return false;
    uint32_t code = length == 1 ? c : c & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    static constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
      return false;
    }
    i += length;
  }
  return true;
}

std::optional<std::string> makeParameters(const std::vector<DbValue>& bindings,
                                          PgParameters* parameters) {
  size_t count = bindings.size();
  parameters->types.assign(count, 0);
  parameters->texts.assign(count, std::string());
  parameters->values.assign(count, nullptr);
  parameters->lengths.assign(count, 0);
  parameters->formats.assign(count, kTextFormat);
  for (size_t i = 0; i < count; ++i) {
    const DbValue& value = bindings[i];
    switch (value.type) {
      case DbValue::Type::kNull:
        break;
      case DbValue::Type::kInteger:
        parameters->types[i] = kInt8;
        parameters->texts[i] = integerText(value.integerValue);
        parameters->values[i] = parameters->texts[i].c_str();
        break;
      case DbValue::Type::kReal:
        parameters->types[i] = kFloat8;
        parameters->texts[i] = realText(value.realValue);
        parameters->values[i] = parameters->texts[i].c_str();
        break;
      case DbValue::Type::kText:
      case DbValue::Type::kBlob: {
        if (value.bytes.size() > static_cast<size_t>(SqlLimits::kValueBytes)) {
          return "string or blob too big";
        }
        bool text = value.type == DbValue::Type::kText &&
                    value.bytes.find('\0') == std::string::npos && isUtf8(value.bytes);
        parameters->values[i] = value.bytes.c_str();
        parameters->lengths[i] = static_cast<int>(value.bytes.size());
        if (!text) {
          parameters->types[i] = kBytea;
          parameters->formats[i] = kBinaryFormat;
        }
        break;
      }
    }
  }
  return std::nullopt;
}

bool readCell(const PGresult* result, int row, int column, DbValue* value) {
  const LibPq& pq = *libPq();  // loaded: it made the result
  if (pq.getisnull(result, row, column)) {
    *value = DbValue::null();
    return true;
  }
  const char* text = pq.getvalue(result, row, column);
  size_t length = static_cast<size_t>(pq.getlength(result, row, column));
  char* end = nullptr;
  errno = 0;
  switch (pq.ftype(result, column)) {
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid: {
      long long number = std::strtoll(text, &end, 10);
      if (errno == 0 && end == text + length && length > 0) {
        *value = DbValue::integer(number);
        return true;
      }
      break;
    }
    case kBool:
      *value = DbValue::integer(text[0] == 't' ? 1 : 0);
      return true;
    case kFloat4:
    case kFloat8:
    case kNumeric: {
      double number = std::strtod(text, &end);
      if (end == text + length && length > 0) {
        *value = DbValue::real(number);
        return true;
      }
      break;
    }
    case kBytea: {
      size_t size = 0;
      std::unique_ptr<unsigned char, Unescaped> bytes(
          pq.unescapeBytea(reinterpret_cast<const unsigned char*>(text), &size));
      if (!bytes) return false;
      *value = DbValue::blob(std::string(reinterpret_cast<const char*>(bytes.get()), size));
      return true;
    }
    default:
      break;
  }
  *value = DbValue::text(std::string(text, length));
  return true;
}

}  // namespace gsadmin
