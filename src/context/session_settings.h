#ifndef GSADMIN_CONTEXT_SESSION_SETTINGS_H_
#define GSADMIN_CONTEXT_SESSION_SETTINGS_H_

#include <cstdint>
#include <optional>
#include <string>

#include "base/defaults.h"

namespace gsadmin {

// The connection settings and the scripts' database file, fixed for the
// life of the session.
struct SessionSettings {
  std::string serverIP = defaults::kServerAddress;
  uint16_t serverPort = defaults::kAdminPort;
  std::string adminName = defaults::kAdminName;
  std::string adminPassword = defaults::kAdminPassword;
  // The scripts' database; absent: "script.db" beside the script.
  std::optional<std::string> databasePath;
};

}  // namespace gsadmin

#endif  // GSADMIN_CONTEXT_SESSION_SETTINGS_H_
