#include "handler_path_bench.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <vector>

#include "console/console.h"
#include "script/lua.h"
#include "script/script_manager.h"
#include "sim/server_messages.h"
#include "support/client_process.h"
#include "support/session_harness.h"

namespace gsadmin::bench {
namespace {

using testing::Datagram;

constexpr uint8_t kPlayer = 1;
constexpr int kWarmUp = 1000;
constexpr int kBatch = 1000;

std::string countingScript(const std::string& event) {
  return "handled = 0\n"
         "function onEvent() handled = handled + 1 end\n"
         "addEventHandler('" +
         event + "', 'onEvent')\n";
}

// The datagrams of a kind, the first `count` of a repeating series; empty
// for a kind it does not know.
std::vector<Datagram> datagramsOf(const std::string& kind, int count) {
  std::vector<Datagram> datagrams;
  for (int i = 0; i < count; ++i) {
    if (kind == "position" || kind == kQueuedFeedKind) {
      float x = static_cast<float>(i % 1000);
      datagrams.push_back(testing::positionUpdate(kPlayer, 0, 100.0f, x, -x, 10.0f));
    } else if (kind == "chat" || kind == "chat-text" || kind == "chat-json") {
      datagrams.push_back(testing::chatLine(kPlayer, 0, "good game " + std::to_string(i % 10)));
    } else if (kind == "word") {
      datagrams.push_back(testing::chatLine(kPlayer, 0, "!score " + std::to_string(i % 10)));
    } else {
      return {};
    }
  }
  return datagrams;
}

// Polls until the session's socket has nothing waiting, as its loop does.
void drainQueue(testing::SessionHarness& harness) {
  AdminSession& session = harness.session();
  while (session.socket()->waitReadable(0)) session.poll();
}

// What callgrind counts (--toggle-collect): the hand-over of each datagram
// and the poll after it, or, `queued`, the polls that empty the socket's
// queue, nothing else of the process.
[[gnu::noinline]] void feedHandlerBatch(testing::SessionHarness& harness,
                                        const std::vector<Datagram>& datagrams, size_t from,
                                        size_t to, bool queued) {
  if (queued) {
    drainQueue(harness);
    return;
  }
  for (size_t i = from; i < to; ++i) harness.deliver(datagrams[i]);
}

// The batch waiting on the session's socket, sent outside the count.
void queueBatch(testing::SessionHarness& harness, const std::vector<Datagram>& datagrams,
                size_t from, size_t to) {
  for (size_t i = from; i < to; ++i) harness.peer().send(datagrams[i]);
}

// The script's global `handled`; 0 without a loaded script.
uint64_t handledCount(testing::SessionHarness& harness) {
  Script* script = harness.session().scripts().firstLoaded();
  if (script == nullptr || !script->loaded()) return 0;
  lua_State* L = script->state.get();
  lua_getglobal(L, "handled");
  uint64_t count = static_cast<uint64_t>(lua_tonumber(L, -1));
  lua_pop(L, 1);
  return count;
}

std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

// The first number after `key` at the start of a line of `path`.
std::optional<uint64_t> numberAfter(const std::string& path, const std::string& key) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) == 0) return std::strtoull(line.c_str() + key.size(), nullptr, 10);
  }
  return std::nullopt;
}

}  // namespace

double InstructionCount::perEvent() const {
  return handled > 0 ? static_cast<double>(instructions) / static_cast<double>(handled) : 0;
}

int runHandlerFeed(const std::string& feed) {
  size_t colon = feed.find(':');
  std::string kind = feed.substr(0, colon);
  int events = colon == std::string::npos ? 0 : std::atoi(feed.c_str() + colon + 1);
  std::vector<Datagram> warmUp = datagramsOf(kind, kWarmUp);
  std::vector<Datagram> datagrams = datagramsOf(kind, events);
  if (warmUp.empty() || events < 1) {
    std::fprintf(
        stderr,
        "gsadmin_bench: --handler-feed=position|position-queued|chat|word|chat-text|chat-json:N\n");
    return 2;
  }
  const char* event = kind.starts_with("position") ? "onPlayerPositionChange" : "onPlayerChat";
  bool queued = kind == kQueuedFeedKind;
  testing::SessionHarness harness(
      countingScript(event), "Admin", "pw",
      queued ? testing::Transport::kLoopback : testing::Transport::kInMemory);
  // The process's own console writing to /dev/null, as text or as JSON.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> null(std::fopen("/dev/null", "w"), std::fclose);
  if (kind != "chat" && kind.starts_with("chat-") && null) {
    auto console = std::make_unique<StdioConsole>(null.get(), null.get());
    if (kind == "chat-json") console->setFormat(LogFormat::kJson);
    harness.console().alsoTo(std::move(console));
  }
  harness.connect(testing::ServerRecord(), {{kPlayer, "Bob", 0, true}});
  harness.deliver(testing::playerDetails(kPlayer, "details"));
  if (queued) {
    queueBatch(harness, warmUp, 0, warmUp.size());
    drainQueue(harness);
  } else {
    for (const Datagram& datagram : warmUp) harness.deliver(datagram);
  }
  harness.sent();
  harness.output();
  uint64_t before = handledCount(harness);
  for (size_t from = 0; from < datagrams.size(); from += kBatch) {
    size_t to = std::min(datagrams.size(), from + kBatch);
    if (queued) queueBatch(harness, datagrams, from, to);
    feedHandlerBatch(harness, datagrams, from, to, queued);
    // What the session printed and sent, read outside the count.
    harness.sent();
    harness.output();
  }
  uint64_t handled = handledCount(harness) - before;
  std::printf("handled=%llu\n", static_cast<unsigned long long>(handled));
  return handled == datagrams.size() ? 0 : 1;
}

InstructionCount countHandlerPath(const std::string& bench, const std::string& kind, int events) {
  InstructionCount result;
  testing::TempDir dir;
  std::string out = dir.path() + "/callgrind.out";
  std::string printed = dir.path() + "/printed.txt";
  std::string command =
      "valgrind --tool=callgrind --collect-atstart=no"
      " --toggle-collect='*feedHandlerBatch*' --callgrind-out-file=" +
      quoted(out) + " --log-file=" + quoted(dir.path() + "/valgrind.log") + " " + quoted(bench) +
      " --handler-feed=" + kind + ":" + std::to_string(events) + " >" + quoted(printed) + " 2>&1";
  int status = std::system(command.c_str());
  std::optional<uint64_t> handled = numberAfter(printed, "handled=");
  std::optional<uint64_t> totals = numberAfter(out, "totals:");
  if (!totals) totals = numberAfter(out, "summary:");
  if (status != 0 || !handled || !totals) {
    std::ifstream text(printed);
    std::stringstream first;
    first << text.rdbuf();
    result.failure = "exit " + std::to_string(status) + ": " + first.str().substr(0, 200);
    return result;
  }
  result.instructions = *totals;
  result.handled = *handled;
  result.ran = *handled == static_cast<uint64_t>(events);
  return result;
}

}  // namespace gsadmin::bench
