#ifndef GSADMIN_SESSION_CONSOLE_COMMANDS_H_
#define GSADMIN_SESSION_CONSOLE_COMMANDS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "moderation/actor.h"

namespace gsadmin {

class AdminSession;
struct Player;
struct Script;

// A console command a script added (addConsoleCommand).
struct ScriptCommand {
  uint64_t owner;            // the script's id
  std::string word;          // without the dot
  std::string functionName;  // the script's global to call
  std::string help;
};

// What the operator types at the console. A line that does not start with
// '.' goes to the server as chat, exactly as the script API's sendChat sends
// it; an empty line sends nothing. A line ".word rest" is a local command;
// a word that is not built in fires "onConsoleCommand" when a script handles
// it. The commands' own feedback goes to the console as ordinary lines that
// start with "* ", so it cannot be mistaken for a server event. Chat and the
// player commands are the admin actions the API functions call, so they send
// the same datagrams and print the same diagnostics.
// The session must outlive this object.
class ConsoleCommands {
 public:
  explicit ConsoleCommands(AdminSession& session);

  // At most this many script commands at once.
  static constexpr size_t kMaxScriptCommands = 1000;

  // A line typed by `actor`: operatorActor() at the console, or a panel
  // account. The moderation's commands are carried out and recorded as
  // that actor; the other commands as the operator's.
  // `mark`: the players' mark when the operator began typing the line (see
  // PlayerManager::mark), so that an id means whom it meant then.
  void handle(std::string_view line, const Actor& actor,
              std::optional<uint64_t> mark = std::nullopt);
  // The operator at the console: the admin name, every right.
  Actor operatorActor() const;

  // True once ".quit" was typed: the session's loop ends.
  bool quitRequested() const { return quitRequested_; }

  // The built-in commands with their dots, for completion and ".help":
  // the console's own and the admin acts there are.
  std::vector<std::string> commandWords() const;
  // commandWords() and the scripts' commands, with their dots.
  std::vector<std::string> allCommandWords() const;
  // What Tab may complete `word` to after `lineBeforeWord` (see Completer,
  // console_completion.cc): command words for the first word; after a
  // command, what its next argument takes: players on the server for
  // PLAYER, recorded names (and players) for NAME, levels for LEVEL,
  // scripts after .reload, .unload and .lua @; the second word of an act
  // of two words. Chat completes players. Nothing else: a text, a path, a
  // script's command.
  std::vector<std::string> completions(std::string_view lineBeforeWord, std::string_view word);

  // Gives the script `owner` the command ".word" (see
  // SessionContext::addConsoleCommand); the same script may give it again,
  // with a new function and help. Empty when done, else why not.
  std::string addScriptCommand(uint64_t owner, std::string_view word, std::string_view functionName,
                               std::string_view help);
  // Drops the commands of the script `owner`, or of every script.
  void removeScriptCommands(uint64_t owner);
  void removeScriptCommands() { scriptCommands_.clear(); }

 private:
  void runCommand(const std::string& word, const std::string& rest, const Actor& actor,
                  std::optional<uint64_t> mark);
  void sendChat(std::string_view line, const Actor& actor);
  void showHelp();
  void sayHelpRow(std::string usage, std::string_view what);
  void showServer();
  void runLua(const std::string& rest);
  // The script commands: console_script_commands.cc.
  bool runScriptCommand(const std::string& word, const std::string& rest);
  void showScriptCommandHelp();
  void showScripts();
  void reload(const std::string& rest);
  void load(const std::string& rest);
  void unload(const std::string& rest);
  // The loaded script `name` names, or null after a refusal line.
  Script* loadedScript(const std::string& command, std::string_view name);
  void quit();
  void say(std::string_view text);
  void refuse(const std::string& why);

  AdminSession& session_;
  std::vector<ScriptCommand> scriptCommands_;
  bool quitRequested_ = false;
};

}  // namespace gsadmin

#endif  // GSADMIN_SESSION_CONSOLE_COMMANDS_H_
