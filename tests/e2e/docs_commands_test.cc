// The shell commands of README.md and docs/*.md, as a reader would paste
// them: none leaves a `~` where the shell does not expand it, and those that
// can run without a real server run, against the real binary.
//
// Run: a document's blocks of shell lines whose commands are all gsadmin,
// echo, chmod, printf, mkdir or umask, with no placeholder (`<name>`), no
// absolute path (they would write outside the test's HOME), no address
// but the documentation's example server and loopback, and no client that
// would connect anywhere but to the example server. They run in order,
// one document's in one temporary HOME, under /bin/sh, with the built
// gsadmin first in PATH, and with these changes only: the example server
// 203.0.113.7:4003 is a loopback peer of the test that accepts the login,
// the panel's 127.0.0.1:8080 is any free port, a trailing `...` is
// `--exit-on-eof`, and `--exit-on-eof` ends unanswered after 5 s. HOME holds
// a private .gsadmin-pw, and the input holds the password
// `--hash-password` asks for. Everything else (the service set-up under
// /etc, `cd` into the reader's directories, the simulator) is only checked
// for `~`.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "support/admin_login.h"
#include "support/client_process.h"
#include "support/loopback_peer.h"
#include "support/text_file.h"

namespace gsadmin::testing {
namespace {

const char* const kDocuments[] = {"README.md",       "docs/fleet.md",     "docs/hacking.md",
                                  "docs/logging.md", "docs/http-api.md",  "docs/moderation.md",
                                  "docs/panel.md",   "docs/scripting.md", "docs/simulator.md"};

// The first words that make a code line a shell command.
const char* const kShellCommands[] = {
    "gsadmin", "gsadmin-sim", "echo",      "chmod",       "printf",     "mkdir",   "cp",
    "cd",      "make",        "systemctl", "systemd-run", "journalctl", "curl",    "ssh",
    "pg_dump", "pg_restore",  "psql",      "createdb",    "dropdb",     "umask",   "(umask",
    "man",     "cmake",       "apt",       "sudo",        "install",    "sqlite3", "logrotate"};
// The commands a block may hold to be run here.
const char* const kRunnable[] = {"gsadmin", "echo", "chmod", "printf", "mkdir", "umask", "(umask"};

struct Block {
  std::string document;
  int line = 0;  // of its first command
  std::vector<std::string> commands;
};

std::string firstWord(const std::string& line) {
  size_t start = line.find_first_not_of(' ');
  if (start == std::string::npos) return "";
  return line.substr(start, line.find(' ', start) - start);
}

bool isShellCommand(const std::string& line) {
  std::string word = firstWord(line);
  for (const char* command : kShellCommands) {
    if (word != command) continue;
    // The banner line shown as output, "gsadmin 0.1.0 - ...", is not one.
    return line.find(" - remote admin console") == std::string::npos;
  }
  return false;
}

// Lines indented four spaces or more after a blank line (or fenced by
// ```), with `$ ` prompts taken off and `\` continuations joined; the shell
// commands among them, grouped by code block.
std::vector<Block> shellBlocks(const std::string& document) {
  std::vector<Block> blocks;
  std::string text = readSourceFile(document);
  bool previousBlank = true, inCode = false, fenced = false, joining = false;
  int number = 0;
  size_t start = 0;
  Block current{document, 0, {}};
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    bool blank = line.find_first_not_of(' ') == std::string::npos;
    if (firstWord(line).rfind("```", 0) == 0) fenced = !fenced;
    bool code = fenced || (!blank && line.rfind("    ", 0) == 0 && (previousBlank || inCode));
    if (!code && !blank && !current.commands.empty())
      blocks.push_back(current), current = {document, 0, {}};
    inCode = code || (inCode && blank);
    previousBlank = blank;
    if (!code || blank) continue;
    std::string command = line.substr(line.find_first_not_of(' '));
    if (command.rfind("$ ", 0) == 0) command.erase(0, 2);
    if (joining) {
      current.commands.back() += " " + command;
    } else if (isShellCommand(command)) {
      if (current.commands.empty()) current.line = number;
      current.commands.push_back(command);
    }
    std::string& last = current.commands.empty() ? command : current.commands.back();
    joining = !last.empty() && last.back() == '\\' && (joining || isShellCommand(command));
    if (joining) last.pop_back();
  }
  if (!current.commands.empty()) blocks.push_back(current);
  return blocks;
}

// The offsets of the `~`s the shell leaves as they are: within quotes, or
// within a word (as after the `=` of `--option=~/file`). A `~` starting a
// word is expanded; a `#` starting a word begins a comment.
std::vector<size_t> unexpandedTildes(const std::string& command) {
  std::vector<size_t> found;
  char quote = 0;
  bool wordStart = true;
  for (size_t i = 0; i < command.size(); ++i) {
    char c = command[i];
    if (quote != 0) {
      if (c == '~') found.push_back(i);
      if (c == quote) quote = 0;
      wordStart = false;
      continue;
    }
    if (c == '#' && wordStart) break;
    if (c == '~' && !wordStart) found.push_back(i);
    if (c == '\'' || c == '"') quote = c;
    wordStart = c == ' ' || c == '|' || c == ';' || c == '&' || c == '(' || c == '<' || c == '>';
  }
  return found;
}

TEST(DocsCommandsTest, NoTildeStandsWhereTheShellLeavesIt) {
  int commands = 0;
  for (const char* document : kDocuments) {
    for (const Block& block : shellBlocks(document)) {
      for (const std::string& command : block.commands) {
        ++commands;
        EXPECT_TRUE(unexpandedTildes(command).empty())
            << block.document << ":" << block.line << ": " << command;
      }
    }
  }
  EXPECT_GT(commands, 20);  // the extraction found the documents' commands
  EXPECT_EQ(unexpandedTildes("gsadmin --http-users=~/.u"), std::vector<size_t>{21});
  EXPECT_EQ(unexpandedTildes("chmod 600 ~/.u \"~/x\""), std::vector<size_t>{16});
  EXPECT_TRUE(unexpandedTildes("cat ~/.u >~/.v  # ~ here is a comment").empty());
}

// A client that connects must name the example server, which the test
// replaces by its own peer: the defaults would reach 127.0.0.1:4003.
bool connectsElsewhere(const std::string& command) {
  if (command.find("gsadmin ") == std::string::npos) return false;
  for (const char* alone :
       {"--hash-password", "--help", "--version", "--backup", "--enroll-totp"}) {
    if (command.find(alone) != std::string::npos) return false;
  }
  return command.find("203.0.113.7") == std::string::npos;
}

bool isRunnable(const Block& block) {
  for (const std::string& command : block.commands) {
    if (connectsElsewhere(command)) return false;
    bool known = false;
    for (const char* runnable : kRunnable) known = known || firstWord(command) == runnable;
    if (!known || command.find('<') != std::string::npos ||
        command.find(" /") != std::string::npos || command.find("=/") != std::string::npos) {
      return false;
    }
    // Any address but the example server's and loopback.
    static const std::regex kAddress("[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+");
    for (auto it = std::sregex_iterator(command.begin(), command.end(), kAddress);
         it != std::sregex_iterator(); ++it) {
      if (it->str() != "203.0.113.7" && it->str() != "127.0.0.1") return false;
    }
  }
  return true;
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

// The block as the test runs it, against the peer on `port`.
std::string runnableScript(const Block& block, const std::string& port) {
  std::string script;
  for (std::string command : block.commands) {
    replaceAll(command, "203.0.113.7:4003", "127.0.0.1:" + port);
    replaceAll(command, "203.0.113.7 4003", "127.0.0.1 " + port);
    replaceAll(command, "127.0.0.1:8080", "127.0.0.1:0");
    if (command.size() > 4 && command.compare(command.size() - 4, 4, " ...") == 0) {
      command.replace(command.size() - 3, 3, "--exit-on-eof");
    }
    replaceAll(command, "--exit-on-eof", "--exit-on-eof --connect-timeout=5");
    script += command + "\n";
  }
  return script;
}

bool connects(const Block& block) {
  for (const std::string& command : block.commands) {
    if (command.find("203.0.113.7") != std::string::npos) return true;
  }
  return false;
}

TEST(DocsCommandsTest, TheOfflineCommandsRunAsWritten) {
  const std::string binary = ClientProcess::defaultBinary();
  const std::string path = binary.substr(0, binary.rfind('/')) + ":" +
                           (getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin");
  int run = 0;
  bool panelRan = false;
  for (const char* document : kDocuments) {
    TempDir home;
    home.write(".gsadmin-pw", "73519\n");
    chmod((home.path() + "/.gsadmin-pw").c_str(), 0600);
    for (const Block& block : shellBlocks(document)) {
      if (!isRunnable(block)) continue;
      LoopbackPeer peer;
      std::string script = "HOME='" + home.path() + "'; PATH='" + path + "'; set -e\n" +
                           runnableScript(block, std::to_string(peer.port()));
      ClientProcess shell({"-c", script}, std::nullopt, "/bin/sh", std::nullopt, home.path(),
                          ClientProcess::Input::kPipe);
      shell.writeInput("s3cret\n");
      shell.closeInput();
      if (connects(block)) {
        EXPECT_TRUE(acceptLogin(peer)) << document << ":" << block.line;
      }
      EXPECT_EQ(shell.waitExit(15000), 0) << document << ":" << block.line << "\n"
                                          << script << shell.output();
      shell.readToEnd();
      EXPECT_EQ(shell.output().find("gsadmin: "), std::string::npos)
          << document << ":" << block.line << "\n"
          << shell.output();
      if (script.find("--http=") != std::string::npos) {
        EXPECT_NE(shell.output().find("Panel: http://127.0.0.1:"), std::string::npos)
            << shell.output();
        panelRan = true;
      }
      ++run;
    }
  }
  // At least the panel's set-up of README.md and docs/panel.md, and the
  // README's one-shot kick.
  EXPECT_GE(run, 4);
  EXPECT_TRUE(panelRan);
}

}  // namespace
}  // namespace gsadmin::testing
