#ifndef GSADMIN_MODEL_PLAYER_H_
#define GSADMIN_MODEL_PLAYER_H_

#include <cstdint>
#include <string>

namespace gsadmin {

struct Vehicle;

struct Position {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};

// One player on the server. Owned by the PlayerManager; other records refer
// to it by plain pointer, and the managers clear those pointers before the
// record is destroyed.
struct Player {
  Player(uint8_t id, std::string name) : id(id), name(std::move(name)) {}

  uint8_t id;
  std::string name;
  std::string info = "Unknown";  // text of the latest details reply
  // The vehicle the player is in as driver or passenger, or null. Never
  // dangles: the VehicleManager clears it before destroying the vehicle.
  Vehicle* vehicle = nullptr;
  int32_t status = 1;  // holds an 8-bit code
  uint16_t kills = 0;  // wraps from 65535 to 0
  uint16_t deaths = 0;
  uint32_t entryValue = 0;  // carried by game code 1 player lists, unread
  float health = 100.0f;
  Position position;
  // The PlayerManager's mark() when the player was added: an id means this
  // player to whoever chose it at a later mark.
  uint64_t addedAt = 0;
};

}  // namespace gsadmin

#endif  // GSADMIN_MODEL_PLAYER_H_
