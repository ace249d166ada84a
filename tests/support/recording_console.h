#ifndef GSADMIN_TESTS_SUPPORT_RECORDING_CONSOLE_H_
#define GSADMIN_TESTS_SUPPORT_RECORDING_CONSOLE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "console/console.h"
#include "platform/datagram_sink.h"

namespace gsadmin::testing {

// A console that keeps every line in memory, as the real one would have
// written it ("text\n").
class RecordingConsole : public Console {
 public:
  void line(std::string_view text) override;
  void errorLine(std::string_view text) override;
  void entry(const LogEntry& entry) override;

  // Every line also goes to `other` (a real console, for the benchmarks).
  void alsoTo(std::unique_ptr<Console> other) { other_ = std::move(other); }

  // What went to standard output, or to standard error, since the last take.
  std::string takeOutput();
  std::string takeErrors();

 private:
  std::string output_;
  std::string errors_;
  std::unique_ptr<Console> other_;
};

// A datagram sink that keeps every datagram in memory, in order.
class RecordingSink : public DatagramSink {
 public:
  void send(const uint8_t* data, size_t length) override;
  // Everything sent since the last take.
  std::vector<std::vector<uint8_t>> take();

 private:
  std::vector<std::vector<uint8_t>> sent_;
};

}  // namespace gsadmin::testing

#endif  // GSADMIN_TESTS_SUPPORT_RECORDING_CONSOLE_H_
