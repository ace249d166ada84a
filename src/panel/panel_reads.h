#ifndef GSADMIN_PANEL_PANEL_READS_H_
#define GSADMIN_PANEL_PANEL_READS_H_

#include <chrono>
#include <cstddef>
#include <memory>
#include <vector>

#include "panel/chart_cache.h"
#include "panel/read_limits.h"
#include "panel/read_pool.h"
#include "platform/clock.h"
#include "storage/database.h"

namespace gsadmin {

// The panel's reads of the moderation's records: their threads, the
// limits on reads in flight and the charts' cache. The panel owns it while
// the moderation is on, and stops it before its servers go.
struct PanelReads {
  // Reader threads, each with a read-only connection of its own.
  static constexpr size_t kReaders = 2;
  // How long one read's statements may run, together.
  static constexpr std::chrono::milliseconds kBudget{2000};
  // How long a request waits for its read, queueing included.
  static constexpr std::chrono::milliseconds kWait{5000};
  // How long a read that must see the latest records waits for the loop to
  // write them; it reads what is written after that.
  static constexpr std::chrono::milliseconds kWriteWait{1000};

  PanelReads(Clock& clock, std::vector<std::unique_ptr<Database>> connections)
      : charts(clock), pool(clock, std::move(connections), kBudget) {}

  ReadLimits limits;
  ChartCache charts;
  ReadPool pool;  // last: gone before the limits its work holds places in
};

// kReaders read-only connections to `database` in a PanelReads; null when
// the database has none.
std::unique_ptr<PanelReads> makePanelReads(Clock& clock, const Database& database);

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_PANEL_READS_H_
