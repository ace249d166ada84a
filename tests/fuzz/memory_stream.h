#ifndef GSADMIN_TESTS_FUZZ_MEMORY_STREAM_H_
#define GSADMIN_TESTS_FUZZ_MEMORY_STREAM_H_

#include <httplib.h>

#include <cstring>
#include <string>
#include <string_view>

namespace gsadmin::fuzz {

// One connection's bytes for the HTTP library's server, read from memory;
// what the server writes is counted and dropped. After beginRequest(), the
// first line read is followed by `headers` (a login's cookie, say), as if
// the client had sent them there. A streamed (chunked) answer's reader goes
// after its head: its chunks fail, so that an event stream ends at once
// rather than wait for news.
class MemoryStream : public httplib::Stream {
 public:
  MemoryStream(std::string_view input, std::string headers)
      : input_(input), headers_(std::move(headers)) {}

  void beginRequest() {
    splicePending_ = !headers_.empty();
    chunked_ = false;
  }
  bool exhausted() const { return input_.empty() && spliced_.empty(); }
  size_t bytesWritten() const { return written_; }

  bool is_readable() const override { return true; }
  bool is_writable() const override { return !chunked_; }

  ssize_t read(char* ptr, size_t size) override {
    if (!spliced_.empty()) return take(&spliced_, ptr, size);
    if (!splicePending_) return take(&input_, ptr, size);
    // Up to the end of the request's first line, then the headers.
    size_t end = input_.find('\n');
    if (end == std::string_view::npos) return take(&input_, ptr, size);
    ssize_t taken = take(&input_, ptr, std::min(size, end + 1));
    if (static_cast<size_t>(taken) == end + 1) {
      splicePending_ = false;
      spliced_ = headers_;
    }
    return taken;
  }

  ssize_t write(const char* data, size_t size) override {
    if (chunked_) return -1;
    // Looked for in every write: a "100 Continue" may come before the head.
    chunked_ = std::string_view(data, size).find("Transfer-Encoding: chunked\r\n") !=
               std::string_view::npos;
    written_ += size;
    return static_cast<ssize_t>(size);
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    ip = "192.0.2.7";
    port = 40000;
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    ip = "127.0.0.1";
    port = 8080;
  }
  socket_t socket() const override { return INVALID_SOCKET; }

 private:
  static ssize_t take(std::string_view* from, char* ptr, size_t size) {
    size_t count = std::min(size, from->size());
    std::memcpy(ptr, from->data(), count);
    from->remove_prefix(count);
    return static_cast<ssize_t>(count);
  }

  std::string_view input_;
  std::string headers_;
  std::string_view spliced_;  // what is left of the headers being read
  bool splicePending_ = false;
  bool chunked_ = false;
  size_t written_ = 0;
};

}  // namespace gsadmin::fuzz

#endif  // GSADMIN_TESTS_FUZZ_MEMORY_STREAM_H_
