#ifndef GSADMIN_COMMANDS_GAME_WORDS_H_
#define GSADMIN_COMMANDS_GAME_WORDS_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gsadmin {

// The one registry of the in-game words: "!word rest" said by a player, in
// public chat or a private message. Each word has one owner, the built-in
// acts or one script, so that every word gets exactly one answer, "!help"
// gives one list and an unknown word one reply.
class GameWords {
 public:
  // A word of the built-in acts: the level an admin needs for it, and
  // whether a player below that level is told "!word: you may not" (the
  // punishing words) or left to a script that answers the word for players
  // who are not admins (!help, !seen, !admins).
  struct Builtin {
    std::string word;  // lower case, without the '!'
    int level = 0;
    bool refusesBelowLevel = true;
    std::string usage;  // "!warn PLAYER REASON"
  };
  // Carries out a built-in word for `senderId`, whose level is enough.
  using RunBuiltin = std::function<void(uint8_t senderId, int senderLevel, std::string_view word,
                                        std::string_view rest)>;
  // Calls a script's handler: its global `functionName` with the sender's
  // id and the rest of the line.
  using CallScript = std::function<void(uint64_t owner, const std::string& functionName,
                                        uint8_t senderId, std::string_view rest)>;
  // Sends one private message to the player.
  using Reply = std::function<void(uint8_t playerId, std::string_view line)>;

  GameWords(std::vector<Builtin> builtins, RunBuiltin runBuiltin, CallScript callScript,
            Reply reply);

  static constexpr size_t kMaxScriptWords = 1000;
  // A word is 1 to kMaxWordBytes letters, digits, '_' or '-'; a longer
  // one said is unknown.
  static constexpr size_t kMaxWordBytes = 32;
  // The longest private message: a chat frame's text (511 bytes) less
  // "/msg #255 ". Longer replies are cut on a UTF-8 boundary.
  static constexpr size_t kMaxReply = 501;

  // Gives the script `owner` the word "!word" for players of `level` and
  // above (0: everyone), listed by "!help" with `help`. The same script
  // may give it again. Empty when done, else the reason it was refused.
  std::string add(uint64_t owner, std::string_view word, std::string_view functionName,
                  std::string_view help, int level);
  void removeOwned(uint64_t owner);
  void removeAll();
  // The script that has the word (any case), if one does.
  std::optional<uint64_t> ownerOf(std::string_view word) const;
  // True while a script has a word: only then does an unknown word get
  // its reply, so that older scripts that answer their words in
  // onPlayerChat get no second answer.
  bool inUse() const { return !scriptWords_.empty(); }
  // The messages "!help" sends a player of `level`: the usage of each
  // built-in word the level allows (for the admins, level 1 and up), one a
  // message, then the scripts'
  // words the level allows as "Commands: !a !b", split into messages of
  // at most kMaxReply bytes. Empty when the level allows nothing.
  std::vector<std::string> helpLines(int level) const;

  // A chat line that starts with '!', said by `senderId` of `senderLevel`.
  void said(uint8_t senderId, int senderLevel, std::string_view text);

 private:
  struct ScriptWord {
    uint64_t owner;
    std::string word;
    std::string functionName;
    std::string help;
    int level;
  };

  const Builtin* findBuiltin(std::string_view word) const;
  const ScriptWord* findScript(std::string_view word) const;
  // "!help [WORD]": the list, or the one line about WORD.
  void answerHelp(uint8_t senderId, int senderLevel, std::string_view rest);
  void say(uint8_t playerId, std::string_view line);

  std::vector<Builtin> builtins_;
  RunBuiltin runBuiltin_;
  CallScript callScript_;
  Reply reply_;
  std::vector<ScriptWord> scriptWords_;
};

}  // namespace gsadmin

#endif  // GSADMIN_COMMANDS_GAME_WORDS_H_
