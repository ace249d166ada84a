#include "protocol/position_messages.h"

#include <vector>

#include "base/numbers.h"
#include "context/session_context.h"
#include "protocol/wire.h"

namespace gsadmin {
namespace {

using wire::kLastDriverState;
using wire::kLastPassengerState;
constexpr uint8_t kOnFoot = wire::kOnFootState;

// Scripts cannot destroy players or vehicles, so the records named here stay
// live across the events fired while handling one update.

void handleOnFoot(EventSink& events, Player& player, float health) {
  // NaN on either side counts as a change.
  if (!(health == player.health)) {
    float oldHealth = player.health;
    player.health = health;
    events.fireEvent(Event::kPlayerHealthChange, player.id, truncateToInt32(health),
                     truncateToInt32(oldHealth));
  }
  if (player.vehicle != nullptr) {
    // The vehicle keeps its driver and passenger entries.
    int32_t vehicleId = player.vehicle->id;
    player.vehicle = nullptr;
    events.fireEvent(Event::kPlayerVehicleExit, player.id, vehicleId);
  }
}

void handleDriver(SessionContext& session, Player& player, Vehicle& vehicle, float health,
                  const Position& position) {
  vehicle.health = health;
  vehicle.position = position;
  session.events().fireEvent(Event::kVehicleHealthChange, vehicle.id, truncateToInt32(health));
  vehicle.removePassenger(&player);  // a passenger who drives is no longer one
  vehicle.driver = &player;
  // The passengers ride along; a copy, since handlers run in between.
  std::vector<Player*> passengers = vehicle.passengers;
  for (Player* passenger : passengers) {
    passenger->position = position;
    session.events().fireEvent(Event::kPlayerPositionChange, passenger->id);
  }
}

}  // namespace

void handlePositionUpdate(SessionContext& session, const BodyReader& body) {
  uint8_t playerId = body.byteAt(0);
  uint8_t state = body.byteAt(1);
  if (state > kLastPassengerState) return;
  bool moves = state <= kLastDriverState;  // passenger updates carry no floats
  float health = moves ? body.floatAt(wire::kPositionHealthOffset) : 0.0f;
  Position position;
  if (moves)
    position = {body.floatAt(wire::kPositionXOffset), body.floatAt(wire::kPositionYOffset),
                body.floatAt(wire::kPositionZOffset)};

  Player* player = session.players().find(playerId);
  if (player == nullptr) return;
  if (moves) player->position = position;
  EventSink& events = session.events();
  events.fireEvent(Event::kPlayerPositionChange, playerId);

  if (state == kOnFoot) {
    handleOnFoot(events, *player, health);
    return;
  }

  int32_t vehicleId = state <= kLastDriverState ? state : state - kLastDriverState;
  Vehicle* vehicle = session.vehicles().find(vehicleId);
  if (vehicle == nullptr) return;

  if (state <= kLastDriverState) {
    handleDriver(session, *player, *vehicle, health, position);
  } else if (!vehicle->hasPassenger(player)) {
    vehicle->addPassenger(player);
  }

  if (player->vehicle == vehicle) return;
  player->vehicle = vehicle;
  session.events().fireEvent(Event::kPlayerVehicleEnter, playerId, vehicle->id);
}

}  // namespace gsadmin
