#ifndef GSADMIN_PANEL_REQUEST_FRAME_H_
#define GSADMIN_PANEL_REQUEST_FRAME_H_

#include <cstddef>
#include <optional>
#include <string_view>

namespace gsadmin {

// What the bytes gathered so far say of one HTTP/1.1 request.
enum class FrameStatus {
  kIncomplete,       // more bytes are needed
  kComplete,         // size() bytes are the whole request
  kHeadersTooLarge,  // 431: no end of the headers within the cap
  kBodyTooLarge,     // 413: a Content-Length over the cap
  kLengthRequired,   // 411: a Transfer-Encoding (only a length is taken)
  kBad,              // 400: a Content-Length that is not one number
};

// Where one request ends in the bytes of its connection, found before the
// HTTP library sees any of them, so that a request goes to a worker thread
// only once it has arrived whole and within the caps. It ends where the
// library's reading ends: after the first empty line ("\r\n" after a
// '\n'), plus the Content-Length; without one the body is empty, as a
// request's is in HTTP/1.1.
class RequestFrame {
 public:
  RequestFrame(size_t maxHeaderBytes, size_t maxBodyBytes)
      : maxHeaderBytes_(maxHeaderBytes), maxBodyBytes_(maxBodyBytes) {}

  // Looks at `bytes`, the connection's bytes from the request's first on;
  // between calls they only grow at the end.
  FrameStatus measure(std::string_view bytes);
  // Whether the headers are complete, and the request's length in all
  // once measure() said kComplete.
  bool headersDone() const { return headerEnd_.has_value(); }
  size_t size() const { return headerEnd_.value_or(0) + bodyLength_; }
  // For the connection's next request.
  void reset();

 private:
  // The Content-Length of the header block, or an error status.
  FrameStatus readLength(std::string_view headers);

  size_t maxHeaderBytes_;
  size_t maxBodyBytes_;
  size_t scanned_ = 0;  // bytes already searched for the end of the headers
  std::optional<size_t> headerEnd_;
  size_t bodyLength_ = 0;
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_REQUEST_FRAME_H_
