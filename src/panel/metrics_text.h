#ifndef GSADMIN_PANEL_METRICS_TEXT_H_
#define GSADMIN_PANEL_METRICS_TEXT_H_

#include <cstdint>
#include <optional>
#include <string>

#include "panel/snapshot.h"

namespace gsadmin {

// The Prometheus text exposition of `snapshot` at `nowMs` on the loop's
// clock; `databaseBytes` is the database file's size when it exists.
std::string metricsText(const Snapshot& snapshot, uint64_t nowMs,
                        std::optional<uint64_t> databaseBytes);

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_METRICS_TEXT_H_
