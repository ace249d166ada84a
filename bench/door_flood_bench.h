#ifndef GSADMIN_BENCH_DOOR_FLOOD_BENCH_H_
#define GSADMIN_BENCH_DOOR_FLOOD_BENCH_H_

#include <cstdint>
#include <string>
#include <vector>

#include "results_table.h"

namespace gsadmin::bench {

// What a client did while every door of its panel and metrics port was
// flooded at once (testing::DoorFlood's default plan, over a million chat
// lines, under a limit of 1 024 descriptors).
struct DoorFloodFigures {
  bool started = false;
  // A script's 20 ms timer inside the client: how late each call came.
  uint64_t timerCalls = 0;
  uint64_t timerExpected = 0;
  double lagP99Ms = 0;
  double lagMaxMs = 0;
  uint64_t peakRssKiB = 0;
  // A login from a browser that logged in before, in the middle of it.
  int knownLoginStatus = -1;
  double knownLoginMs = 0;
  // The client logged in again: the server took it for gone.
  bool sessionDropped = false;
  uint64_t guessesChecked = 0;  // wrong passwords answered 401
  uint64_t chartAnswers = 0;
};

// Floods the doors of `binary` for `seconds`.
DoorFloodFigures measureDoorFlood(const std::string& binary, int seconds);

// The rows of the figures, labelled `label` (e.g. "before", "after").
void addDoorFloodRows(const DoorFloodFigures& figures, const std::string& label, int seconds,
                      std::vector<ResultRow>& rows);

// How the rows are taken, for the notes of bench/results.md.
extern const char kFloodNotes[];

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_DOOR_FLOOD_BENCH_H_
