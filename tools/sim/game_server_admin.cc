// The simulated server's side that faces the admin client: its datagrams,
// its commands and the keep-alive exchange.

#include <charconv>
#include <string>

#include "console/printable.h"
#include "game_server.h"
#include "protocol/wire.h"
#include "sim/server_messages.h"
#include "sim_log.h"

namespace gsadmin::sim {
namespace {

using gsadmin::wire::kBanRequestId;
using gsadmin::wire::kChatFrameId;
using gsadmin::wire::kKeepAliveAnswerId;
using gsadmin::wire::kKickRequestId;
using gsadmin::wire::kLoginId;
using gsadmin::wire::kPlayerDetailsRequestId;
namespace build = gsadmin::testing;

using gsadmin::wire::kDisconnectBadNickname;
using gsadmin::wire::kDisconnectWrongPassword;
using gsadmin::wire::kQuitKicked;

// The client sends texts up to kMaxChatText bytes in a chat frame.
constexpr size_t kMaxChatFrame = 3 + gsadmin::wire::kMaxChatText;

// Bytes from `start` up to the first NUL or the end.
std::string textAt(const uint8_t* data, size_t length, size_t start) {
  std::string text;
  for (size_t i = start; i < length && data[i] != 0; ++i)
    text.push_back(static_cast<char>(data[i]));
  return text;
}

std::string seconds(uint64_t ms) {
  return formatNumber(static_cast<float>(ms) / 1000.0f) + " s";
}

}  // namespace

void GameServer::handleDatagram(const Endpoint& from, const uint8_t* data, size_t length) {
  if (length == 0) return;
  if (data[0] == kLoginId) {
    handleLogin(from, data, length);
    return;
  }
  if (!admin_ || !(*admin_ == from)) {
    log_.line("datagram " + build::hexDump({data[0]}) + " from " + from.toString() +
              ", which is not logged in: ignored");
    return;
  }
  lastHeardMs_ = clock_.nowMs();
  switch (data[0]) {
    case kChatFrameId:
      handleChatFrame(data, length);
      return;
    case kKickRequestId:
      handleKickOrBan(data, length, /*ban=*/false);
      return;
    case kBanRequestId:
      handleKickOrBan(data, length, /*ban=*/true);
      return;
    case kPlayerDetailsRequestId:
      handleDetailsRequest(data, length);
      return;
    case kKeepAliveAnswerId:
      handleKeepAliveAnswer(data, length);
      return;
    default: {
      Datagram head(data, data + std::min<size_t>(length, 8));
      log_.line("unexpected datagram of " + std::to_string(length) +
                " bytes from the admin: " + build::hexDump(head) + (length > 8 ? " ..." : ""));
      return;
    }
  }
}

void GameServer::handleLogin(const Endpoint& from, const uint8_t* data, size_t length) {
  // 0x0D, '0', 0x02, name, '|', password, 0x00.
  size_t bar = 3;
  while (bar < length && data[bar] != '|') ++bar;
  if (length < 5 || data[1] != gsadmin::wire::kLoginVersion ||
      data[2] != gsadmin::wire::kLoginMarker || bar >= length || data[length - 1] != 0) {
    log_.line("malformed login of " + std::to_string(length) + " bytes from " + from.toString() +
              ": ignored");
    return;
  }
  std::string name(reinterpret_cast<const char*>(data + 3), bar - 3);
  std::string password = textAt(data, length, bar + 1);
  std::string who = "login as " + printable(name) + " from " + from.toString();
  Endpoint replyTo = from;
  if (password != setup_.password) {
    log_.line(who + ": wrong password, refused (reason 4)");
    sink_.sendTo(replyTo, build::disconnectReason(kDisconnectWrongPassword));
    return;
  }
  if (name.empty()) {
    log_.line(who + ": empty name, refused (reason 10)");
    sink_.sendTo(replyTo, build::disconnectReason(kDisconnectBadNickname));
    return;
  }
  if (admin_ && !(*admin_ == from))
    log_.line("the admin at " + admin_->toString() + " is replaced");
  admin_ = from;
  ++acceptedLogins_;
  uint64_t now = clock_.nowMs();
  lastHeardMs_ = now;
  nextKeepAliveMs_ = now + kKeepAliveIntervalMs;
  unansweredSinceMs_.reset();
  silenceReported_ = false;

  build::ServerRecord record;
  record.gameCode = setup_.game;
  record.gameMode = setup_.mode;
  record.maxPlayers = setup_.maxPlayers;
  record.name = setup_.name;
  record.motd = setup_.motd;
  std::vector<build::ListedPlayer> listed;
  for (const SimPlayer& player : players_) {
    build::ListedPlayer entry;
    entry.id = player.id;
    entry.name = player.name;
    listed.push_back(entry);
  }
  log_.line(who + ": accepted, " + std::to_string(players_.size()) + " players listed");
  send(build::connectionAccepted(record, listed));
}

void GameServer::handleChatFrame(const uint8_t* data, size_t length) {
  // 0x03, 0x03, text, 0x00.
  if (length < 3 || data[1] != gsadmin::wire::kChatFrameChannel || data[length - 1] != 0 ||
      length > kMaxChatFrame) {
    log_.line("malformed chat frame of " + std::to_string(length) + " bytes from the admin");
  }
  std::string text = textAt(data, length, 2);
  if (!text.empty() && text[0] == '/') {
    handleAdminCommand(text);
    return;
  }
  log_.line("admin chat: " + printable(text));
  send(build::chatLine(0, 3, text));
}

void GameServer::handleAdminCommand(const std::string& text) {
  size_t space = text.find(' ');
  std::string command = text.substr(0, space);
  std::string rest = space == std::string::npos ? std::string() : text.substr(space + 1);
  if (command == "/slap") {
    handleSlap(rest);
    return;
  }
  if (command == "/msg") {
    // "/msg #id text" or "/msg name text".
    size_t gap = rest.find(' ');
    std::string to = rest.substr(0, gap);
    std::string message = gap == std::string::npos ? std::string() : rest.substr(gap + 1);
    SimPlayer* player = nullptr;
    if (to.size() > 1 && to[0] == '#') {
      int id = -1;
      auto [ptr, ec] = std::from_chars(to.data() + 1, to.data() + to.size(), id);
      if (ec == std::errc() && ptr == to.data() + to.size() && id >= 0 && id <= 255) {
        player = findById(static_cast<uint8_t>(id));
      }
    } else {
      player = findByName(to);
    }
    if (player == nullptr) {
      log_.line("admin message to " + printable(to) + ": no such player");
      send(build::chatLine(0, 3, "No such player: " + to));
      return;
    }
    log_.line("admin message to " + player->name + " (id " + std::to_string(player->id) +
              "): " + printable(message));
    // The confirmation always exceeds the 10 bytes the client looks for:
    // the name is never empty.
    send(build::chatLine(0, 3, "/msgr " + player->name + ": " + message));
    return;
  }
  log_.line("admin command " + printable(command) + ": unknown");
  send(build::chatLine(0, 3, "Unknown command: " + command));
}

void GameServer::handleSlap(const std::string& name) {
  SimPlayer* player = findByName(name);
  if (player == nullptr) {
    log_.line("admin slaps " + printable(name) + ": no such player");
    send(build::chatLine(0, 3, "No such player: " + name));
    return;
  }
  float health = std::max(0.0f, player->health - kSlapDamage);
  log_.line("admin slaps " + player->name + ": health " + formatNumber(health));
  send(build::chatLine(0, 3, player->name + " was slapped"));
  if (health <= 0.0f) {
    death(player->name, std::string(kAdminKiller), 0);
    return;
  }
  player->health = health;
  leaveVehicle(*player);
  sendFootUpdate(*player);
}

void GameServer::handleKickOrBan(const uint8_t* data, size_t length, bool ban) {
  // 0x0E or 0x0F, id, 0x00.
  const char* verb = ban ? "bans" : "kicks";
  if (length != 3 || data[2] != 0) {
    log_.line(std::string("malformed ") + (ban ? "ban" : "kick") + " request of " +
              std::to_string(length) + " bytes from the admin");
    if (length < 2) return;
  }
  SimPlayer* player = findById(data[1]);
  if (player == nullptr) {
    log_.line(std::string("admin ") + verb + " id " + std::to_string(data[1]) + ": no such player");
    return;
  }
  std::string name = player->name;
  log_.line(std::string("admin ") + verb + " " + name + " (id " + std::to_string(data[1]) + ")");
  if (ban && !isBanned(name)) banned_.push_back(name);
  if (setup_.kickDelayMs == 0) {
    quit(name, kQuitKicked);
    return;
  }
  leaving_.emplace_back(clock_.nowMs() + setup_.kickDelayMs, name);
}

void GameServer::takeOffKicked() {
  // One delay for all: the list is in the order they leave.
  while (!leaving_.empty() && leaving_.front().first <= clock_.nowMs()) {
    std::string name = std::move(leaving_.front().second);
    leaving_.erase(leaving_.begin());
    if (isOnline(name)) quit(name, kQuitKicked);
  }
}

void GameServer::handleDetailsRequest(const uint8_t* data, size_t length) {
  if (length != 2) {
    log_.line("malformed details request of " + std::to_string(length) + " bytes from the admin");
    if (length < 2) return;
  }
  SimPlayer* player = findById(data[1]);
  if (player == nullptr) {
    log_.line("details request for id " + std::to_string(data[1]) + ": no such player");
    return;
  }
  log_.line("details of " + player->name + " (id " + std::to_string(player->id) + ") sent");
  send(build::playerDetails(player->id, player->key ? *player->key
                                                    : player->name + " ping 40 ms, health " +
                                                          formatNumber(player->health)));
}

void GameServer::handleKeepAliveAnswer(const uint8_t* data, size_t length) {
  if (length != 2 || data[1] != 0) {
    log_.line("malformed keep-alive answer of " + std::to_string(length) + " bytes");
  }
  unansweredSinceMs_.reset();
  if (silenceReported_) {
    silenceReported_ = false;
    log_.line("the admin client answers keep-alives again");
  }
}

void GameServer::tick() {
  takeOffKicked();
  if (!admin_) return;
  uint64_t now = clock_.nowMs();
  if (now - lastHeardMs_ >= kAdminGoneMs) {
    log_.line("the admin client has been silent for " + seconds(now - lastHeardMs_) +
              ": taken to be gone; waiting for a new login");
    admin_.reset();
    return;
  }
  if (now >= nextKeepAliveMs_) {
    send(build::keepAliveRequest());
    if (!unansweredSinceMs_) unansweredSinceMs_ = now;
    nextKeepAliveMs_ = now + kKeepAliveIntervalMs;
  }
  if (unansweredSinceMs_ && !silenceReported_ && now - *unansweredSinceMs_ >= kKeepAliveAnswerMs) {
    silenceReported_ = true;
    log_.line("the admin client stopped answering keep-alives (no answer for " +
              seconds(now - *unansweredSinceMs_) + ")");
  }
}

}  // namespace gsadmin::sim
