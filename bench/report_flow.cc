#include "report_flow.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <tuple>

namespace gsadmin::bench {
namespace {

std::string pairName(const char* prefix, int pair) {
  char name[16];
  std::snprintf(name, sizeof name, "%s%04d", prefix, pair);
  return name;
}

// "12.345 TEXT" for the sorted scenario.
std::string timed(double seconds, const std::string& text) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%.3f ", seconds);
  return stamp + text;
}

}  // namespace

std::string reportScenario(int reports, int perSecond, double leadSeconds, double tailSeconds) {
  // (time, order within the pair, line): sorted, so that lines of one time
  // keep their pair's order.
  std::vector<std::tuple<double, int, std::string>> lines;
  double last = leadSeconds;
  for (int i = 0; i < reports; ++i) {
    double at = leadSeconds + static_cast<double>(i) / perSecond;
    std::string target = pairName("Tg", i), reporter = pairName("Rp", i);
    std::string n = std::to_string(i);
    lines.emplace_back(at - 1.3, 0, "join " + target);
    lines.emplace_back(at - 1.3, 1, "join " + reporter);
    lines.emplace_back(at - 1.25, 2, "kill " + target + " " + reporter + " M4");
    lines.emplace_back(at - 0.2, 3, "chat " + target + " ez " + n);
    lines.emplace_back(at - 0.1, 4, "msg " + reporter + " " + target + " stop " + n);
    lines.emplace_back(at, 5, "chat " + reporter + " !report " + target + " aimbot " + n);
    lines.emplace_back(at + 0.1, 6, "quit " + target);
    lines.emplace_back(at + 0.1, 7, "quit " + reporter);
    last = at;
  }
  std::stable_sort(lines.begin(), lines.end(),
                   [](const auto& a, const auto& b) { return std::get<0>(a) < std::get<0>(b); });
  std::string text = "server-name Reports Bench\nmax-players 255\n";
  for (const auto& [at, order, line] : lines) text += timed(at, line) + "\n";
  return text + timed(last + tailSeconds, "end") + "\n";
}

int pairOf(const std::string& target) {
  if (target.size() != 6 || target.compare(0, 2, "Tg") != 0) return -1;
  return std::atoi(target.c_str() + 2);
}

std::map<int, PairLog> readPairLogs(const std::string& logText) {
  static const std::regex kLine(
      R"(^(\d+)\.(\d{6}) ((Tg|Rp)(\d{4}) (says: .*|to \S+: .*|kills \S+)(?: with .*)?)$)");
  std::map<int, PairLog> pairs;
  std::istringstream in(logText);
  std::string line;
  std::smatch match;
  while (std::getline(in, line)) {
    if (!std::regex_match(line, match, kLine)) continue;
    int64_t us = std::stoll(match[1]) * 1000000 + std::stoll(match[2]);
    PairLog& pair = pairs[std::stoi(match[5])];
    std::string text = match[4].str() + match[5].str() + " " + match[6].str();
    if (match[4] == "Rp" && match[6].str().rfind("says: !report ", 0) == 0) pair.reportUs = us;
    pair.lines.emplace_back(us, text);
  }
  return pairs;
}

std::vector<std::string> linesWithin(const PairLog& log, int64_t fromSecond, int64_t toSecond) {
  std::vector<std::string> lines;
  for (const auto& [us, text] : log.lines) {
    int64_t second = us / 1000000;
    if (second >= fromSecond && second <= toSecond) lines.push_back(text);
  }
  return lines;
}

}  // namespace gsadmin::bench
