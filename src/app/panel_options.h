#ifndef GSADMIN_APP_PANEL_OPTIONS_H_
#define GSADMIN_APP_PANEL_OPTIONS_H_

#include <optional>

#include "app/options.h"
#include "console/console.h"
#include "panel/panel.h"

namespace gsadmin {

// The panel's, the metrics' and the public listener's settings of the
// options, with the panel's accounts read from --http-users. Nothing, with
// *status set (2) after one line on `console`, when the start ends here; a
// panel without accounts is left off with one line.
std::optional<PanelSettings> panelSettingsOf(const Options& options, Console& console, int* status);

}  // namespace gsadmin

#endif  // GSADMIN_APP_PANEL_OPTIONS_H_
