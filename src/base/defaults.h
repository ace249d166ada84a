#ifndef GSADMIN_BASE_DEFAULTS_H_
#define GSADMIN_BASE_DEFAULTS_H_

#include <cstdint>

// The connection defaults, defined here once: what the client uses when it is
// given no server or credentials, and what the simulator listens on and
// accepts unless told otherwise, so the two meet out of the box. The usage
// texts, the man pages and the README restate them; tests hold those to this
// file.
namespace gsadmin::defaults {

constexpr char kServerAddress[] = "127.0.0.1";
constexpr uint16_t kAdminPort = 4003;
constexpr char kAdminName[] = "Admin";
constexpr char kAdminPassword[] = "73519";

}  // namespace gsadmin::defaults

#endif  // GSADMIN_BASE_DEFAULTS_H_
