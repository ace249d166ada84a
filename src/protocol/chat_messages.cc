#include "protocol/chat_messages.h"

#include <string_view>

#include "commands/game_words.h"
#include "console/console.h"
#include "console/printable.h"
#include "context/session_context.h"
#include "moderation/moderation.h"
#include "protocol/wire.h"

namespace gsadmin {
namespace {

using wire::kAdminStatus;
constexpr size_t kTextOffset = wire::kChatTextOffset;
// A confirmation needs more than its prefix and a little text.
constexpr size_t kShortestConfirmation = 11;

// "recipient message": the first space-separated word, leading spaces
// skipped, and what follows it after one space.
struct PrivateMessage {
  std::string_view recipient;
  std::string_view message;
};

PrivateMessage splitPrivateMessage(std::string_view text) {
  size_t start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) return {};
  size_t end = text.find(' ', start);
  if (end == std::string_view::npos) return {text.substr(start), {}};
  return {text.substr(start, end - start), text.substr(end + 1)};
}

// Records a player's line with the moderation, when it is on, and gives
// a "!word" line to the registry of in-game words: once, whichever way it
// was said.
void playerSaid(SessionContext& session, const Player& sender,
                std::optional<std::string_view> recipient, std::string_view text) {
  Moderation* moderation = session.moderation();
  if (moderation != nullptr) moderation->chatReceived(sender, recipient, text);
  if (!text.starts_with('!')) return;
  int level = moderation != nullptr ? moderation->levelOf(sender) : 0;
  session.gameWords().said(sender.id, level, text);
}

void handleAdminLine(SessionContext& session, const BodyReader& body) {
  if (body.length() >= kShortestConfirmation && body.hasPrefixAt(kTextOffset, "/msgr ")) {
    std::string text = body.textAt(kTextOffset + 6);
    session.console().entry(LogEntry(LogKind::kMessage, "PM SENT: " + printable(text))
                                .add("from", "admin")
                                .add("message", text));
    session.events().fireEvent(Event::kAdminMessage, std::string_view(text));
    return;
  }
  std::string text = body.textAt(kTextOffset);
  session.console().entry(LogEntry(LogKind::kChat, "ADMIN: " + printable(text))
                              .add("from", "admin")
                              .add("message", text));
  session.events().fireEvent(Event::kAdminChat, std::string_view(text));
}

}  // namespace

void handleChat(SessionContext& session, const BodyReader& body) {
  uint8_t status = body.byteAt(1);
  if (status == kAdminStatus) {
    handleAdminLine(session, body);
    return;
  }
  Player* sender = session.players().find(body.byteAt(0));
  if (sender == nullptr) return;
  sender->status = status;
  uint8_t senderId = sender->id;
  std::string senderName = printable(sender->name);

  if (body.hasPrefixAt(kTextOffset, "/msg ")) {
    std::string rest = body.textAt(kTextOffset + 5);
    PrivateMessage parts = splitPrivateMessage(rest);
    // Without a recipient word the line is ordinary chat.
    if (!parts.recipient.empty()) {
      session.console().entry(LogEntry(LogKind::kMessage, senderName + " to " +
                                                              printable(parts.recipient) + ": " +
                                                              printable(parts.message))
                                  .add("from", "player")
                                  .add("player", senderId)
                                  .add("name", sender->name)
                                  .add("to", parts.recipient)
                                  .add("message", parts.message));
      playerSaid(session, *sender, parts.recipient, parts.message);
      session.events().fireEvent(Event::kPlayerMessage, senderId, std::string_view(rest));
      return;
    }
  }
  std::string text = body.textAt(kTextOffset);
  session.console().entry(LogEntry(LogKind::kChat, senderName + ": " + printable(text))
                              .add("from", "player")
                              .add("player", senderId)
                              .add("name", sender->name)
                              .add("message", text));
  playerSaid(session, *sender, std::nullopt, text);
  session.events().fireEvent(Event::kPlayerChat, senderId, std::string_view(text));
}

}  // namespace gsadmin
