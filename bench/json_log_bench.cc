#include "json_log_bench.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "bench_statistics.h"
#include "live_client.h"

namespace gsadmin::bench {
namespace {

constexpr int kRounds = 21;
constexpr int kBatch = 10000;
constexpr uint8_t kPlayer = 1;

const char kChatCountingScript[] =
    "handled = 0\n"
    "function onChat(id, text) handled = handled + 1 end\n"
    "addEventHandler('onPlayerChat', 'onChat')\n"
    "function onAdmin(text)\n"
    "  if text == '!count' then sendChat('handled=' .. handled) end\n"
    "end\n"
    "addEventHandler('onAdminChat', 'onAdmin')\n";

std::vector<Datagram> chatBatch(int batch) {
  std::vector<Datagram> lines;
  for (int i = 0; i < batch; ++i) {
    lines.push_back(
        testing::chatLine(kPlayer, 0, "gg, that was \"close\" - round " + std::to_string(i)));
  }
  return lines;
}

}  // namespace

JsonLogCost measureJsonLogCost(int rounds, int batch) {
  JsonLogCost result;
  testing::TempDir dir;
  dir.write("count.lua", kChatCountingScript);
  LiveClient text(
      std::nullopt, false,
      {"--no-moderation", "--script=count.lua", "--log-file=" + dir.path() + "/text.log"},
      dir.path());
  LiveClient json(std::nullopt, false,
                  {"--no-moderation", "--script=count.lua", "--log-format=json",
                   "--log-file=" + dir.path() + "/json.log"},
                  dir.path());
  if (!text.connect({{kPlayer, "Bob", 0, true}}) || !json.connect({{kPlayer, "Bob", 0, true}})) {
    return result;
  }
  std::vector<Datagram> lines = chatBatch(batch);
  std::vector<double> textRates, jsonRates, ratios;
  bool answered = true;
  for (int round = 0; round < rounds && answered; ++round) {
    DrainRound one = drainRound(text, lines);
    DrainRound other = drainRound(json, lines);
    answered = one.loopCpuRate > 0 && other.loopCpuRate > 0;
    textRates.push_back(one.loopCpuRate);
    jsonRates.push_back(other.loopCpuRate);
    ratios.push_back(other.loopCpuRate / std::max(one.loopCpuRate, 1.0));
  }
  result.sent = static_cast<uint64_t>(rounds) * lines.size();
  result.handledText = text.handledCount().value_or(0);
  result.handledJson = json.handledCount().value_or(0);
  result.textPerCpuSecond = percentileOf(textRates, 0.5);
  result.jsonPerCpuSecond = percentileOf(jsonRates, 0.5);
  result.ratio = percentileOf(ratios, 0.5);
  result.complete =
      answered && result.handledText == result.sent && result.handledJson == result.sent;
  return result;
}

std::vector<ResultRow> jsonLogRows() {
  std::printf("(o) JSON log\n");
  std::fflush(stdout);
  JsonLogCost cost = measureJsonLogCost(kRounds, kBatch);
  std::vector<ResultRow> rows;
  char text[128];
  std::snprintf(text, sizeof text, "%.0f/s / %.0f/s (%.2f)", cost.jsonPerCpuSecond,
                cost.textPerCpuSecond, cost.ratio);
  rows.push_back({"(o) chat lines through a Lua handler, logged, per loop CPU second: JSON / text",
                  text, ">= 0.95", cost.complete && cost.ratio >= 0.95});
  std::snprintf(text, sizeof text, "%llu and %llu of %llu",
                static_cast<unsigned long long>(cost.handledJson),
                static_cast<unsigned long long>(cost.handledText),
                static_cast<unsigned long long>(cost.sent));
  rows.push_back({"(o) same, handled JSON / text", text, "no loss", cost.complete});
  return rows;
}

const char kJsonLogNotes[] =
    "- (o) JSON log: two real binaries side by side, moderation off, each writing\n"
    "  its log to a file (--log-file) and to standard output (/dev/null), one as\n"
    "  text and one with --log-format=json, each with a script counting the chat\n"
    "  lines in an onPlayerChat handler. Each round stops a client (SIGSTOP),\n"
    "  queues 10 000 chat lines (\"gg, that was \\\"close\\\" - round N\") for it,\n"
    "  lets it go on and times it until it answers a keep-alive sent after them,\n"
    "  by the on-CPU time of its loop's thread; rounds alternate, 21 of each, the\n"
    "  ratio the median of the rounds' ratios.\n";

}  // namespace gsadmin::bench
