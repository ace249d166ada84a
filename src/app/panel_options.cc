#include "app/panel_options.h"

#include <string>
#include <utility>
#include <vector>

#include "panel/api_tokens.h"
#include "panel/listen_address.h"
#include "panel/users_file.h"

namespace gsadmin {

std::optional<PanelSettings> panelSettingsOf(const Options& options, Console& console,
                                             int* status) {
  PanelSettings panel;
  *status = 2;
  if (options.httpCert.has_value() != options.httpKey.has_value()) {
    console.errorLine("gsadmin: --http-cert and --http-key go together");
    return std::nullopt;
  }
  if (options.httpAddress) {
    panel.http = parseListenAddress(*options.httpAddress);  // checked when taken
    if (!isLoopback(*panel.http) && !options.httpCert) {
      console.errorLine(
          "gsadmin: --http: an address other than loopback serves HTTPS only: give "
          "--http-cert and --http-key");
      return std::nullopt;
    }
    panel.certFile = options.httpCert;
    panel.keyFile = options.httpKey;
  }
  if (panel.http && options.httpUsers) {
    std::string error;
    std::optional<std::vector<PanelAccount>> accounts = readUsersFile(*options.httpUsers, &error);
    if (!accounts) {
      console.errorLine("gsadmin: --http-users: " + error);
      return std::nullopt;
    }
    panel.accounts = std::move(*accounts);
    panel.usersFile = *options.httpUsers;
    panel.requireTotpLevel = static_cast<int>(options.requireTotp);
    panel.tokensFile = tokensPathFor(*options.httpUsers, options.httpTokens);
  } else if (panel.http) {
    console.errorLine("gsadmin: the panel is off: no --http-users file names its accounts");
    panel.http.reset();
  }
  if (options.metricsAddress) panel.metrics = parseListenAddress(*options.metricsAddress);
  if (options.publicAddress) {
    panel.publicAddress = parseListenAddress(*options.publicAddress);
    if (!isLoopback(*panel.publicAddress) && !options.httpCert) {
      console.errorLine(
          "gsadmin: --public: an address other than loopback serves HTTPS only: give "
          "--http-cert and --http-key");
      *status = 2;
      return std::nullopt;
    }
    panel.certFile = options.httpCert;
    panel.keyFile = options.httpKey;
  }
  *status = 0;
  return panel;
}

}  // namespace gsadmin
