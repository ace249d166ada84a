// addConsoleCommand and addChatCommand: a script's own commands at the
// operator's console and in game.

#include <string>
#include <string_view>

#include "context/session_context.h"
#include "moderation/actor.h"
#include "script/api_args.h"
#include "script/api_functions.h"

namespace gsadmin::api {
namespace {

constexpr size_t kMaxWordBytes = 32;
constexpr size_t kMaxHelpBytes = 200;

// A word typed after the dot: letters, digits, '_' and '-'.
bool isCommandWord(std::string_view word) {
  if (word.empty() || word.size() > kMaxWordBytes) return false;
  for (char c : word) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

// The help text, argument #3: nil or a short string. False after refusing.
bool readHelp(const ApiCall& call, std::string_view* help) {
  if (call.isNil(3)) return true;
  if (!call.isString(3) || call.textView(3).size() > kMaxHelpBytes) {
    call.refuse("Invalid argument #3.");
    return false;
  }
  *help = call.cTextView(3);
  return true;
}

// What addConsoleCommand and addChatCommand read alike.
struct CommandArguments {
  std::string_view word;
  std::string_view functionName;
  std::string_view help;
};

// A command's word, handler and help: arguments #1 to #3. False after
// refusing. Every view is taken before anything that could refuse
// allocates.
bool readCommand(const ApiCall& call, CommandArguments* command) {
  command->word = call.isString(1) ? call.textView(1) : std::string_view();
  if (!isCommandWord(command->word)) {
    call.refuse("Invalid argument #1.");
    return false;
  }
  if (!call.isString(2) || call.textView(2).size() > ApiCall::kMaxNameBytes) {
    call.refuse("Invalid argument #2.");
    return false;
  }
  command->functionName = call.textView(2);
  return readHelp(call, &command->help);
}

}  // namespace

int addConsoleCommand(lua_State* L) {
  ApiCall call(L);
  CommandArguments command;
  if (!readCommand(call, &command)) return 0;
  SessionContext* session = call.session();
  if (session == nullptr) return 0;
  std::string refusal =
      session->addConsoleCommand(call.scriptId(), command.word, command.functionName, command.help);
  if (!refusal.empty()) call.refuse(refusal.c_str());
  return 0;
}

int addChatCommand(lua_State* L) {
  ApiCall call(L);
  CommandArguments command;
  if (!readCommand(call, &command)) return 0;
  int level = 0;
  if (!call.isNil(4)) {
    double number = call.isNumber(4) ? call.number(4) : -1;
    if (!(number >= 0 && number <= kSeniorLevel) || number != static_cast<int>(number)) {
      return call.refuse("Invalid argument #4.");
    }
    level = static_cast<int>(number);
  }
  SessionContext* session = call.session();
  if (session == nullptr) return 0;
  std::string refusal = session->addChatCommand(call.scriptId(), command.word, command.functionName,
                                                command.help, level);
  if (!refusal.empty()) call.refuse(refusal.c_str());
  return 0;
}

}  // namespace gsadmin::api
