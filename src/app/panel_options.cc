#include "app/panel_options.h"

#include <string>
#include <utility>
#include <vector>

#include "panel/api_tokens.h"
#include "panel/listen_address.h"
#include "panel/trusted_proxies.h"
#include "panel/users_file.h"

namespace gsadmin {
namespace {

// A listener off loopback serves HTTPS only: false after the line that
// says so; else the certificate and key, if any, are taken for it.
bool servesSafely(const ListenAddress& address, const char* option, const Options& options,
                  PanelSettings& panel, Console& console) {
  if (!isLoopback(address) && !options.httpCert) {
    console.errorLine(std::string("gsadmin: ") + option +
                      ": an address other than loopback serves HTTPS only: give "
                      "--http-cert and --http-key");
    return false;
  }
  panel.certFile = options.httpCert;
  panel.keyFile = options.httpKey;
  return true;
}

}  // namespace

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
    if (!servesSafely(*panel.http, "--http", options, panel, console)) return std::nullopt;
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
    panel.revokeTokensOnChange = options.revokeTokensOnChange;
  } else if (panel.http) {
    console.errorLine("gsadmin: the panel is off: no --http-users file names its accounts");
    panel.http.reset();
  }
  if (options.metricsAddress) panel.metrics = parseListenAddress(*options.metricsAddress);
  if (options.publicAddress) {
    panel.publicAddress = parseListenAddress(*options.publicAddress);
    if (!servesSafely(*panel.publicAddress, "--public", options, panel, console)) {
      return std::nullopt;
    }
  }
  if (options.publicProxies) {
    if (!panel.publicAddress) {
      console.errorLine("gsadmin: --public-trusted-proxy needs --public");
      return std::nullopt;
    }
    panel.publicProxies = *TrustedProxies::parse(*options.publicProxies);  // checked when taken
  }
  *status = 0;
  return panel;
}

}  // namespace gsadmin
