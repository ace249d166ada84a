#ifndef GSADMIN_CONTEXT_SESSION_SETTINGS_H_
#define GSADMIN_CONTEXT_SESSION_SETTINGS_H_

#include <cstdint>
#include <string>

namespace gsadmin {

// The four connection settings, fixed for the life of the session.
struct SessionSettings {
  std::string serverIP = "127.0.0.1";
  uint16_t serverPort = 4003;
  std::string adminName = "Admin";
  std::string adminPassword = "73519";
};

}  // namespace gsadmin

#endif  // GSADMIN_CONTEXT_SESSION_SETTINGS_H_
