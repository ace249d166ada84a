#include "panel/request_frame.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "base/trimmed.h"

namespace gsadmin {
namespace {

constexpr std::string_view kHeadersEnd = "\n\r\n";
constexpr size_t kMaxLengthDigits = 18;  // below 2^63 whatever the digits

bool sameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

FrameStatus RequestFrame::measure(std::string_view bytes) {
  if (!headerEnd_) {
    size_t from = scanned_ >= kHeadersEnd.size() ? scanned_ - (kHeadersEnd.size() - 1) : 0;
    size_t found = bytes.find(kHeadersEnd, from);
    if (found == std::string_view::npos) {
      scanned_ = bytes.size();
      return bytes.size() > maxHeaderBytes_ ? FrameStatus::kHeadersTooLarge
                                            : FrameStatus::kIncomplete;
    }
    size_t end = found + kHeadersEnd.size();
    if (end > maxHeaderBytes_) return FrameStatus::kHeadersTooLarge;
    FrameStatus length = readLength(bytes.substr(0, end));
    if (length != FrameStatus::kComplete) return length;
    headerEnd_ = end;
  }
  return bytes.size() >= size() ? FrameStatus::kComplete : FrameStatus::kIncomplete;
}

// As the library reads them: the lines after the request line that end in
// "\r\n" (others it skips), each a name up to the first ':' and a value
// without the blanks around it; a header with an empty value is none.
FrameStatus RequestFrame::readLength(std::string_view headers) {
  std::optional<size_t> length;
  size_t start = headers.find('\n') + 1;
  while (start < headers.size()) {
    size_t end = headers.find('\n', start);
    std::string_view line = headers.substr(start, end - start + 1);
    start = end + 1;
    if (line.size() < 2 || line[line.size() - 2] != '\r') continue;
    line.remove_suffix(2);
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view name = line.substr(0, colon);
    std::string_view value = trimmed(line.substr(colon + 1));
    if (value.empty()) continue;
    if (sameName(name, "Transfer-Encoding")) return FrameStatus::kLengthRequired;
    if (!sameName(name, "Content-Length")) continue;
    if (value.size() > kMaxLengthDigits ||
        !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return FrameStatus::kBad;
    }
    size_t number = std::stoull(std::string(value));
    if (length && *length != number) return FrameStatus::kBad;
    length = number;
  }
  if (length && *length > maxBodyBytes_) return FrameStatus::kBodyTooLarge;
  bodyLength_ = length.value_or(0);
  return FrameStatus::kComplete;
}

void RequestFrame::reset() {
  scanned_ = 0;
  headerEnd_.reset();
  bodyLength_ = 0;
}

}  // namespace gsadmin
