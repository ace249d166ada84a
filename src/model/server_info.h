#ifndef GSADMIN_MODEL_SERVER_INFO_H_
#define GSADMIN_MODEL_SERVER_INFO_H_

#include <cstdint>
#include <optional>
#include <string>

namespace gsadmin {

// What the client knows of the server it is logged in to. Written field by
// field by every connection-accepted message; never cleared on a disconnect.
struct ServerInfo {
  // Absent until the first connection is accepted; an empty text is a
  // different value.
  std::optional<std::string> name;
  std::optional<std::string> motd;
  uint16_t gameCode = 0;
  uint16_t gameMode = 0;
  uint16_t maxPlayers = 0;

  void setName(std::string text) { name = std::move(text); }
  void setMotd(std::string text) { motd = std::move(text); }
};

}  // namespace gsadmin

#endif  // GSADMIN_MODEL_SERVER_INFO_H_
