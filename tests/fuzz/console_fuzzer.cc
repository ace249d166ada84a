// Feeds arbitrary operator input through the console's line handling, as
// typed on a terminal or piped, and every line it yields through the
// session's typed-line handling (local commands, .lua chunks, chat).
//
// Input: a mode byte, then the operator's bytes. Mode bit 0 picks the line
// editor (keys, escape sequences, history, Tab) over the piped reader; for
// the piped reader bits 1-7 are the size of each read (1 to 128 bytes, more
// where that would make over kMostReads reads). In
// the operator's bytes, 0xFF N C stands for (N + 1) * 512 copies of C (one
// of a control byte), so that lines past either length limit are
// reachable; bytes beyond the
// limit and 4 KiB more are dropped, so that no input takes long. Every
// line must be handled without a crash, and no refused line may reach the
// session. One session serves many inputs (see Shared).

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "console/input_source.h"
#include "console/line_editor.h"
#include "console/line_reader.h"
#include "console/local_command.h"
#include "fuzz/fuzz_setup.h"
#include "fuzz/probe_script.h"
#include "script/lua_limits.h"
#include "script/script_manager.h"
#include "support/session_harness.h"

namespace {

// Bounds a .lua chunk that never ends, so one input cannot stall the run.
constexpr uint64_t kScriptBudgetMs = 20;

// Bytes past a line limit that an input may still bring.
constexpr size_t kBytesPastLimit = 4096;

std::string expand(const uint8_t* data, size_t size, size_t mostBytes) {
  std::string bytes;
  for (size_t at = 0; at < size && bytes.size() < mostBytes; ++at) {
    if (data[at] == 0xFF && at + 2 < size) {
      // Thousands of Tabs or arrow keys would only repeat one key's work.
      bool control = data[at + 2] < 0x20 || data[at + 2] == 0x7F;
      bytes.append(control ? 1u : (data[at + 1] + 1u) * 512u, static_cast<char>(data[at + 2]));
      at += 2;
    } else {
      bytes.push_back(static_cast<char>(data[at]));
    }
  }
  if (bytes.size() > mostBytes) bytes.resize(mostBytes);
  return bytes;
}

// Reads of a long input: more would only repeat the same work.
constexpr size_t kMostReads = 256;

std::vector<gsadmin::InputLine> piped(const std::string& bytes, size_t readSize) {
  readSize = std::max(readSize, bytes.size() / kMostReads);
  gsadmin::LineReader reader(-1);
  std::vector<gsadmin::InputLine> lines;
  for (size_t at = 0; at < bytes.size(); at += readSize) {
    for (gsadmin::InputLine& line :
         reader.accept(std::string_view(bytes).substr(at, readSize), false)) {
      lines.push_back(std::move(line));
    }
  }
  for (gsadmin::InputLine& line : reader.accept({}, true)) lines.push_back(std::move(line));
  for (const gsadmin::InputLine& line : lines) {
    if (line.text.size() > gsadmin::LineReader::kMaxLineBytes) std::abort();
  }
  return lines;
}

std::vector<gsadmin::InputLine> typed(const std::string& bytes) {
  gsadmin::LineEditor editor;
  // Candidates with and without blanks, as the session's completer gives.
  editor.setCompleter([](std::string_view, std::string_view) {
    return std::vector<std::string>{".help", ".kick", ".reload", "Ann", "Big Ann"};
  });
  std::vector<gsadmin::InputLine> lines;
  for (char byte : bytes) {
    switch (editor.feed(byte)) {
      case gsadmin::LineEditor::Result::kLineDone: {
        std::string line = editor.takeLine();
        if (line.size() > gsadmin::LineEditor::kMaxLineBytes) std::abort();
        editor.addHistory(line);
        lines.push_back({std::move(line), {}});
        break;
      }
      case gsadmin::LineEditor::Result::kTooLong:
        lines.push_back({{}, "too long"});
        break;
      case gsadmin::LineEditor::Result::kEnd:
        return lines;
      default:
        break;
    }
    if (editor.text().size() > gsadmin::LineEditor::kMaxLineBytes) std::abort();
    if (editor.cursor() > editor.text().size()) std::abort();
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The session's lines go to its recording console; anything printed
  // outside it is not what is being tested.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  gsadmin::fuzz::enterWorkDirectory("console");
  return 0;
}

// The session the inputs share, connected to a server with two players; made
// afresh every kRunsPerSession inputs, and after a quit request, which it
// keeps.
struct Shared {
  std::unique_ptr<gsadmin::testing::SessionHarness> harness;
  int runs = 0;
};

gsadmin::testing::SessionHarness& harnessForRun(Shared& shared) {
  if (shared.harness && !shared.harness->session().quitRequested() &&
      shared.runs++ < gsadmin::fuzz::kRunsPerSession) {
    return *shared.harness;
  }
  shared.harness.reset();
  shared.runs = 1;
  shared.harness = std::make_unique<gsadmin::testing::SessionHarness>(gsadmin::fuzz::kProbeScript);
  gsadmin::testing::SessionHarness& harness = *shared.harness;
  gsadmin::ScriptLimits limits;
  limits.budgetMs = kScriptBudgetMs;
  harness.session().scripts().setLimits(limits);
  harness.session().reloadScript();  // under the limits just set
  harness.connect(gsadmin::testing::ServerRecord(), {{1, "Ann"}, {2, "Bo"}});
  return harness;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  bool terminal = (data[0] & 1) != 0;
  size_t limit = terminal ? gsadmin::LineEditor::kMaxLineBytes : gsadmin::LineReader::kMaxLineBytes;
  std::string bytes = expand(data + 1, size - 1, limit + kBytesPastLimit);
  std::vector<gsadmin::InputLine> lines =
      terminal ? typed(bytes) : piped(bytes, (data[0] >> 1) + 1u);

  static Shared shared;
  gsadmin::testing::SessionHarness& harness = harnessForRun(shared);
  for (const gsadmin::InputLine& line : lines) {
    if (!line.refusal.empty()) {
      if (!line.text.empty()) std::abort();
      continue;
    }
    // ".quit" ends the input as it would end the session, which then
    // serves the next input rather than be made again.
    std::optional<gsadmin::LocalCommand> command = gsadmin::splitLocalCommand(line.text);
    if (command && command->word == "quit") break;
    harness.session().handleTypedLine(line.text);
    harness.sent();
    harness.output();
    harness.errors();
    if (harness.session().quitRequested()) break;
  }
  return 0;
}
