#ifndef GSADMIN_CONTEXT_SESSION_SETTINGS_H_
#define GSADMIN_CONTEXT_SESSION_SETTINGS_H_

#include <cstdint>
#include <optional>
#include <string>

namespace gsadmin {

// The connection settings and the scripts' database file, fixed for the
// life of the session.
struct SessionSettings {
  std::string serverIP = "127.0.0.1";
  uint16_t serverPort = 4003;
  std::string adminName = "Admin";
  std::string adminPassword = "73519";
  // The scripts' database; absent: "script.db" beside the script.
  std::optional<std::string> databasePath;
};

}  // namespace gsadmin

#endif  // GSADMIN_CONTEXT_SESSION_SETTINGS_H_
