#ifndef GSADMIN_CONTEXT_SESSION_SETTINGS_H_
#define GSADMIN_CONTEXT_SESSION_SETTINGS_H_

#include <cstdint>
#include <optional>
#include <string>

namespace gsadmin {

// The four connection settings, fixed for the life of the session.
struct SessionSettings {
  std::optional<std::string> serverIP = std::string("127.0.0.1");
  uint16_t serverPort = 4003;
  std::optional<std::string> adminName = std::string("Admin");
  std::optional<std::string> adminPassword = std::string("73519");
};

}  // namespace gsadmin

#endif  // GSADMIN_CONTEXT_SESSION_SETTINGS_H_
