#ifndef GSADMIN_TESTS_SUPPORT_PANEL_CLIENT_H_
#define GSADMIN_TESTS_SUPPORT_PANEL_CLIENT_H_

#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/stat.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/server_messages.h"
#include "support/admin_login.h"
#include "support/client_process.h"
#include "support/loopback_peer.h"

namespace gsadmin::testing {

// A users file in `dir` with alice (level 4) and mia (level 1), both with
// the password "secret"; its path.
std::string writeUsers(const TempDir& dir, mode_t mode = 0600);

// The port of the client's "Panel: ..." or "Metrics: ..." line (`what`);
// 0 when none came.
int portOf(ClientProcess& client, const std::string& what);

// A logged-in client of the panel: its cookie and CSRF token.
struct WebUser {
  std::string cookie;
  std::string csrf;
};

// POST /api/login; *status gets the answer's status (-1: none).
std::optional<WebUser> logIn(httplib::Client& http, const std::string& name,
                             const std::string& password, int* status = nullptr);
// Every cookie an answer sets, as the value of one Cookie header: what a
// browser would send back.
std::string cookiesOf(const httplib::Result& result);
// The cookie, and the CSRF token unless `withCsrf` is false.
httplib::Headers headersOf(const WebUser& user, bool withCsrf = true);
// Reads the event stream until `needle` shows; false when it never did.
bool streamShows(httplib::Client& http, const WebUser& user, const std::string& needle);

// The real client against a LoopbackPeer, with input off and `options`
// before the rest; the moderation is off (its plain actions are tested with
// it) unless `moderation`.
class PanelEndToEndTest : public ::testing::Test {
 protected:
  void startClient(std::vector<std::string> options, bool moderation = false);

  TempDir dir_;
  LoopbackPeer peer_;
  std::unique_ptr<ClientProcess> client_;
};

}  // namespace gsadmin::testing

#endif  // GSADMIN_TESTS_SUPPORT_PANEL_CLIENT_H_
