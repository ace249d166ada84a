#include "results_table.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace gsadmin::bench {
namespace {

std::string verdict(const std::optional<bool>& met) {
  if (!met) return "";
  return *met ? "met" : "MISSED";
}

std::string padded(const std::string& text, size_t width) {
  return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

}  // namespace

std::string formatTable(const std::vector<ResultRow>& rows) {
  size_t widths[4] = {9, 8, 6, 6};  // the headings
  for (const ResultRow& row : rows) {
    widths[0] = std::max(widths[0], row.what.size());
    widths[1] = std::max(widths[1], row.measured.size());
    widths[2] = std::max(widths[2], row.target.size());
  }
  auto line = [&](const std::string& a, const std::string& b, const std::string& c,
                  const std::string& d) {
    return "| " + padded(a, widths[0]) + " | " + padded(b, widths[1]) + " | " +
           padded(c, widths[2]) + " | " + padded(d, widths[3]) + " |\n";
  };
  std::string table = line("measure", "measured", "target", "result");
  for (size_t width : widths) {
    table.push_back('|');
    table.append(width + 2, '-');
  }
  table.append("|\n");
  for (const ResultRow& row : rows)
    table += line(row.what, row.measured, row.target, verdict(row.met));
  return table;
}

std::string describeMachine() {
  std::string model = "unknown CPU";
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpuinfo, line)) {
    if (line.rfind("model name", 0) != 0) continue;
    size_t colon = line.find(':');
    if (colon != std::string::npos && colon + 2 <= line.size()) model = line.substr(colon + 2);
    break;
  }
  long cores = sysconf(_SC_NPROCESSORS_ONLN);
  utsname system{};
  std::string kernel =
      uname(&system) == 0 ? std::string(system.sysname) + " " + system.release : "";
  std::string load;
  std::ifstream loadavg("/proc/loadavg");
  std::string one, five, fifteen;
  if (loadavg >> one >> five >> fifteen)
    load = "; load average " + one + " " + five + " " + fifteen;
  return model + ", " + std::to_string(cores) + " cores, " + kernel + load;
}

bool writeResults(const std::string& path, const std::string& title,
                  const std::vector<ResultRow>& rows, const std::string& notes) {
  std::ofstream out(path);
  if (!out) return false;
  out << "# " << title << "\n\n"
      << "Machine: " << describeMachine() << ".\n\n"
      << formatTable(rows) << "\n"
      << notes;
  return static_cast<bool>(out);
}

std::string fixed(double value, int precision, const char* suffix) {
  char text[96];
  std::snprintf(text, sizeof(text), "%.*f%s", precision, value, suffix);
  return text;
}

}  // namespace gsadmin::bench
