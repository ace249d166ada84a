#ifndef GSADMIN_PANEL_METRICS_LABELS_H_
#define GSADMIN_PANEL_METRICS_LABELS_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace gsadmin {

// The most bytes of a label's value: a script's name may be long.
inline constexpr size_t kMaxLabelBytes = 128;

// `value` as a label's value in the Prometheus text format, between its
// quotes: cut to kMaxLabelBytes (never inside a UTF-8 sequence), a
// backslash, a quote and a newline escaped, other control bytes as '?'.
std::string labelValue(std::string_view value);

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_METRICS_LABELS_H_
