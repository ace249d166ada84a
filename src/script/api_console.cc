// addConsoleCommand: a script's own command at the operator's console.

#include <string>
#include <string_view>

#include "context/session_context.h"
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

}  // namespace

int addConsoleCommand(lua_State* L) {
  ApiCall call(L);
  // Every view is taken before anything that could refuse allocates.
  std::string_view word = call.isString(1) ? call.textView(1) : std::string_view();
  if (!isCommandWord(word)) return call.refuse("Invalid argument #1.");
  if (!call.isString(2) || call.textView(2).size() > ApiCall::kMaxNameBytes) {
    return call.refuse("Invalid argument #2.");
  }
  std::string_view functionName = call.textView(2);
  std::string_view help;
  if (!call.isNil(3)) {
    if (!call.isString(3) || call.textView(3).size() > kMaxHelpBytes) {
      return call.refuse("Invalid argument #3.");
    }
    help = call.cTextView(3);
  }
  SessionContext* session = call.session();
  if (session == nullptr) return 0;
  std::string refusal = session->addConsoleCommand(call.scriptId(), word, functionName, help);
  if (!refusal.empty()) call.refuse(refusal.c_str());
  return 0;
}

}  // namespace gsadmin::api
