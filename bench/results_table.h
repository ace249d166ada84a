#ifndef GSADMIN_BENCH_RESULTS_TABLE_H_
#define GSADMIN_BENCH_RESULTS_TABLE_H_

#include <optional>
#include <string>
#include <vector>

namespace gsadmin::bench {

// One line of the results: what was measured, the value, the target (empty
// for figures given for information), and whether the target was met.
struct ResultRow {
  std::string what;
  std::string measured;
  std::string target;
  std::optional<bool> met;
};

// The rows as a Markdown table, one line per row.
std::string formatTable(const std::vector<ResultRow>& rows);

// Writes `title`, a line about the machine, the table and `notes` to `path`.
// False when the file cannot be written.
bool writeResults(const std::string& path, const std::string& title,
                  const std::vector<ResultRow>& rows, const std::string& notes);

// `value` with `precision` decimals, then `suffix`.
std::string fixed(double value, int precision, const char* suffix = "");

// The CPU model, core count, kernel and load average of this machine, on one
// line.
std::string describeMachine();

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_RESULTS_TABLE_H_
