#include "commands/game_words.h"

#include <algorithm>
#include <utility>

#include "console/printable.h"
#include "moderation/record_store.h"

namespace gsadmin {
namespace {

constexpr std::string_view kListHead = "Commands:";

bool isWordByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-';
}

bool isWord(std::string_view word) {
  return !word.empty() && word.size() <= GameWords::kMaxWordBytes &&
         std::all_of(word.begin(), word.end(), isWordByte);
}

std::string lowered(std::string_view word) {
  std::string key(word);
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

std::string unknownLine(std::string_view typed) {
  return "Unknown command !" + printable(typed) + "; try !help";
}

}  // namespace

GameWords::GameWords(std::vector<Builtin> builtins, RunBuiltin runBuiltin, CallScript callScript,
                     Reply reply)
    : builtins_(std::move(builtins)),
      runBuiltin_(std::move(runBuiltin)),
      callScript_(std::move(callScript)),
      reply_(std::move(reply)) {}

std::string GameWords::add(uint64_t owner, std::string_view word, std::string_view functionName,
                           std::string_view help, int level) {
  if (!isWord(word)) return "A word is 1 to 32 letters, digits, '_' or '-'.";
  std::string key = lowered(word);
  const Builtin* builtin = findBuiltin(key);
  if (builtin != nullptr && builtin->refusesBelowLevel) {
    return "!" + key + " is a built-in command.";
  }
  for (ScriptWord& taken : scriptWords_) {
    if (taken.word != key) continue;
    if (taken.owner != owner) return "!" + key + " is taken by another script.";
    taken.functionName = functionName;
    taken.help = help;
    taken.level = level;
    return "";
  }
  if (scriptWords_.size() >= kMaxScriptWords) return "Too many commands.";
  scriptWords_.push_back({owner, key, std::string(functionName), std::string(help), level});
  return "";
}

void GameWords::removeOwned(uint64_t owner) {
  std::erase_if(scriptWords_, [owner](const ScriptWord& word) { return word.owner == owner; });
}

void GameWords::removeAll() {
  scriptWords_.clear();
}

std::optional<uint64_t> GameWords::ownerOf(std::string_view word) const {
  const ScriptWord* found = findScript(lowered(word));
  if (found == nullptr) return std::nullopt;
  return found->owner;
}

void GameWords::said(uint8_t senderId, int senderLevel, std::string_view text) {
  if (text.starts_with('!')) text.remove_prefix(1);
  size_t blank = text.find(' ');
  std::string_view typed = text.substr(0, blank);
  std::string_view rest = blank == std::string_view::npos ? "" : text.substr(blank + 1);
  if (typed.empty()) return;  // a lone "!" is no word
  std::string word = isWord(typed) ? lowered(typed) : std::string();
  const Builtin* builtin = word.empty() ? nullptr : findBuiltin(word);
  if (builtin != nullptr && senderLevel >= builtin->level) {
    if (word == "help") return answerHelp(senderId, senderLevel, rest);
    return runBuiltin_(senderId, senderLevel, word, rest);
  }
  if (const ScriptWord* script = word.empty() ? nullptr : findScript(word)) {
    if (senderLevel < script->level) return say(senderId, "!" + word + ": you may not");
    std::string functionName = script->functionName;  // the call may drop the word
    return callScript_(script->owner, functionName, senderId, rest);
  }
  if (builtin != nullptr && builtin->refusesBelowLevel) {
    return say(senderId, "!" + word + ": you may not");
  }
  if (word == "help") return answerHelp(senderId, senderLevel, rest);
  if (builtin == nullptr && inUse()) say(senderId, unknownLine(typed));
}

std::vector<std::string> GameWords::helpLines(int level) const {
  std::vector<std::string> lines;
  // The built-in words are listed to the admins: a player's "!help" stays
  // the scripts' to answer, as it was before any word was open to all.
  for (const Builtin& builtin : builtins_) {
    if (level > 0 && builtin.level <= level) lines.push_back(builtin.usage);
  }
  std::string list;
  for (const ScriptWord& script : scriptWords_) {
    const Builtin* builtin = findBuiltin(script.word);
    bool builtinAllowed = builtin != nullptr && builtin->level <= level;
    if (script.level > level || builtinAllowed) continue;
    std::string item = " !" + script.word;
    if (list.size() + item.size() > kMaxReply) lines.push_back(std::exchange(list, ""));
    if (list.empty()) list = kListHead;
    list += item;
  }
  if (!list.empty()) lines.push_back(list);
  return lines;
}

void GameWords::answerHelp(uint8_t senderId, int senderLevel, std::string_view rest) {
  std::vector<std::string> lines = helpLines(senderLevel);
  if (lines.empty()) return;
  std::string_view asked = rest.substr(0, rest.find(' '));
  if (asked.starts_with('!')) asked.remove_prefix(1);
  if (asked.empty()) {
    for (const std::string& line : lines) say(senderId, line);
    return;
  }
  std::string word = isWord(asked) ? lowered(asked) : std::string();
  const Builtin* builtin = findBuiltin(word);
  if (builtin != nullptr && builtin->level <= senderLevel) return say(senderId, builtin->usage);
  const ScriptWord* script = findScript(word);
  if (script != nullptr && script->level <= senderLevel) {
    return say(senderId, "!" + word + (script->help.empty() ? "" : ": " + script->help));
  }
  say(senderId, unknownLine(asked));
}

const GameWords::Builtin* GameWords::findBuiltin(std::string_view word) const {
  auto found = std::find_if(builtins_.begin(), builtins_.end(),
                            [word](const Builtin& builtin) { return builtin.word == word; });
  return found == builtins_.end() ? nullptr : &*found;
}

const GameWords::ScriptWord* GameWords::findScript(std::string_view word) const {
  auto found = std::find_if(scriptWords_.begin(), scriptWords_.end(),
                            [word](const ScriptWord& script) { return script.word == word; });
  return found == scriptWords_.end() ? nullptr : &*found;
}

void GameWords::say(uint8_t playerId, std::string_view line) {
  reply_(playerId, boundedText(printable(line), kMaxReply));
}

}  // namespace gsadmin
