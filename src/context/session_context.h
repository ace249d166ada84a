#ifndef GSADMIN_CONTEXT_SESSION_CONTEXT_H_
#define GSADMIN_CONTEXT_SESSION_CONTEXT_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/timer_queue.h"
#include "console/console.h"
#include "context/details_request_queue.h"
#include "context/rule_control.h"
#include "context/session_settings.h"
#include "events/events.h"
#include "model/world.h"
#include "platform/clock.h"
#include "requests/http_client.h"

namespace gsadmin {

class Commands;
class Database;
class GameWords;
class Moderation;

// What message handlers and script API functions may reach of the session:
// the model, the events, the console, the way out and the connection state.
// The session implements it; every reference stays valid for the session's
// life.
class SessionContext {
 public:
  virtual ~SessionContext() = default;

  virtual ServerInfo& serverInfo() = 0;
  virtual PlayerManager& players() = 0;
  virtual VehicleManager& vehicles() = 0;
  virtual WeaponManager& weapons() = 0;

  virtual EventSink& events() = 0;
  // Registers or drops a handler of the script whose id is `owner` (names
  // as scripts give them). Registering is false when the registry is full.
  virtual bool addEventHandler(uint64_t owner, std::string_view eventName,
                               std::string_view functionName) = 0;
  virtual void removeEventHandler(uint64_t owner, std::string_view eventName,
                                  std::string_view functionName) = 0;
  // Gives the script whose id is `owner` the console command ".word",
  // which calls its global `functionName` with the rest of the line and is
  // listed with `help`. Empty when done; otherwise the reason it was
  // refused (a built-in word, or one of another script).
  virtual std::string addConsoleCommand(uint64_t owner, std::string_view word,
                                        std::string_view functionName, std::string_view help) = 0;
  // Gives the script whose id is `owner` the in-game word "!word" for
  // players of `level` and above (0: everyone): "!word rest" calls its
  // global `functionName` with the player's id and the rest. Empty when
  // done; otherwise the reason it was refused (a built-in word, one of
  // another script, or too many).
  virtual std::string addChatCommand(uint64_t owner, std::string_view word,
                                     std::string_view functionName, std::string_view help,
                                     int level) = 0;
  // The one registry of in-game words: the chat handlers give it every
  // line that starts with '!', once the moderation has recorded it.
  virtual GameWords& gameWords() = 0;

  virtual Console& console() = 0;
  virtual Clock& clock() = 0;
  // Milliseconds since the session was made, on clock().
  virtual uint64_t uptimeMs() = 0;
  // The scripts' timers; the session's loop calls them when due.
  virtual TimerQueue& timers() = 0;
  // The player-details requests of joins; the session's loop sends each
  // one when due.
  virtual DetailsRequestQueue& detailsRequests() = 0;

  // Sends one datagram; nothing leaves before the session has started.
  virtual void send(const std::vector<uint8_t>& datagram) = 0;
  // The admin commands, built and sent as send() does.
  virtual void sendChatFrame(std::string_view text) = 0;
  virtual void sendKickRequest(uint8_t playerId) = 0;
  virtual void sendBanRequest(uint8_t playerId) = 0;

  // The scripts' database, opened by its first statement.
  virtual Database& database() = 0;
  // The built-in moderation (player history, sanctions, admins in game);
  // null when it is off. The message handlers tell it what happens.
  virtual Moderation* moderation() = 0;
  // The admin acts, which every door asks for (commands/commands.h).
  virtual Commands& commands() = 0;
  // The scripts' HTTP requests; the session's loop drives them and calls
  // each one's handler when it ends.
  virtual HttpClient& http() = 0;
  // The moderation rules of --rules; null when there are none.
  virtual RuleControl* ruleControl() { return nullptr; }

  virtual const SessionSettings& settings() const = 0;
  virtual bool connected() const = 0;
  virtual void setConnected(bool connected) = 0;
};

}  // namespace gsadmin

#endif  // GSADMIN_CONTEXT_SESSION_CONTEXT_H_
