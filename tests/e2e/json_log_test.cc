// The JSON log through the real binary: every kind docs/logging.md lists,
// with the fields it lists; a flood of awkward bytes that stays valid JSON
// line by line; and the --log-file's opening, refusals and reopening.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "protocol/wire.h"
#include "sim/server_messages.h"
#include "support/admin_login.h"
#include "support/client_process.h"
#include "support/loopback_peer.h"
#include "support/text_file.h"

namespace gsadmin::testing {
namespace {

using Json = nlohmann::json;

struct KindFields {
  std::set<std::string> required;
  std::set<std::string> optional;
};

// The table of docs/logging.md: each kind and its fields, `?` optional.
std::map<std::string, KindFields> documentedKinds() {
  std::map<std::string, KindFields> kinds;
  std::string text = readSourceFile("docs/logging.md");
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.starts_with("| `")) continue;
    size_t kindEnd = line.find('`', 3);
    std::string kind = line.substr(3, kindEnd - 3);
    size_t cellEnd = line.find('|', kindEnd);
    std::string cell = line.substr(cellEnd + 1, line.find('|', cellEnd + 1) - cellEnd - 1);
    KindFields& fields = kinds[kind];
    for (size_t tick = cell.find('`'); tick != std::string::npos; tick = cell.find('`', tick)) {
      size_t close = cell.find('`', tick + 1);
      std::string name = cell.substr(tick + 1, close - tick - 1);
      bool optional = close + 1 < cell.size() && cell[close + 1] == '?';
      (optional ? fields.optional : fields.required).insert(name);
      tick = close + 1;
    }
  }
  return kinds;
}

std::vector<Json> parseLines(const std::string& text, std::string* failure) {
  std::vector<Json> objects;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      *failure = "a last line without its line break: " + text.substr(start);
      break;
    }
    Json object = Json::parse(text.substr(start, end - start), nullptr, false);
    if (object.is_discarded() || !object.is_object()) {
      *failure = "not a JSON object: " + text.substr(start, end - start);
      break;
    }
    objects.push_back(std::move(object));
    start = end + 1;
  }
  return objects;
}

// Reads the client's log file until a line holds `needle`, for at most ~10 s.
bool waitForLogLine(const std::string& path, const std::string& needle) {
  for (int tries = 0; tries < 1000; ++tries) {
    std::optional<std::string> text = readTextFile(path);
    if (text && text->find(needle) != std::string::npos) return true;
    usleep(10000);
  }
  return false;
}

// Every object's fields against the table; the kinds seen.
std::set<std::string> checkFields(const std::vector<Json>& lines,
                                  std::map<std::string, KindFields>& kinds) {
  std::set<std::string> seen;
  for (const Json& object : lines) {
    EXPECT_TRUE(object.contains("kind") && object.contains("time") && object.contains("text"))
        << object.dump();
    std::string kind = object.value("kind", std::string());
    seen.insert(kind);
    EXPECT_TRUE(kinds.count(kind)) << "undocumented kind: " << object.dump();
    const KindFields& fields = kinds[kind];
    for (const std::string& name : fields.required) {
      EXPECT_TRUE(object.contains(name)) << name << " missing: " << object.dump();
    }
    for (const auto& [name, value] : object.items()) {
      bool known = name == "time" || name == "kind" || name == "text" ||
                   fields.required.count(name) || fields.optional.count(name);
      EXPECT_TRUE(known) << name << " undocumented: " << object.dump();
    }
    EXPECT_TRUE(object.value("time", std::string()).ends_with("Z")) << object.dump();
  }
  return seen;
}

// Each kind's line through the wire, the console and a script, on both
// streams: every documented kind appears, with every field the table
// requires and none it does not list.
TEST(JsonLogTest, EveryKindCarriesTheFieldsDocsLoggingMdLists) {
  LoopbackPeer peer;
  const std::string port = std::to_string(peer.port());
  // A port with a tail earns the one warning line on standard error.
  ClientProcess client(
      {"--log-format=json", "--exit-on-eof", "127.0.0.1", port + "x", "Admin", "pw"},
      "function said(id) print('said ' .. id) end\n"
      "addEventHandler('onPlayerChat', 'said')\n"
      "function boom() error('boom') end\n"
      "addEventHandler('onPlayerQuit', 'boom')\n",
      ClientProcess::defaultBinary(), std::nullopt, std::nullopt, ClientProcess::Input::kPipe);
  ASSERT_TRUE(acceptLogin(peer, {{3, "Bob"}, {5, "Eve \"the\" \\ \x01 \xE9"}}));
  client.writeInput(".nope\n.kick 3 spamming\n");
  const Datagram datagrams[] = {
      playerJoined(7, "Carol"),
      chatLine(7, 1, "hello \"all\""),
      chatLine(7, 1, "/msg Bob psst"),
      chatLine(0, wire::kAdminStatus, "admin here"),
      chatLine(0, wire::kAdminStatus, "/msgr Bob hi"),
      deathReport(7, 5, 1),
      deathReport(5, 5, 200),
      deathReport(5, wire::kKillerAdmin, 1),
      deathReport(5, wire::kNoKiller, 200),
      playerLeft(0, 7),
      disconnectReason(wire::kDisconnectShuttingDown),
  };
  for (const Datagram& datagram : datagrams) peer.send(datagram);
  ASSERT_TRUE(client.waitForLine("\"kind\":\"disconnect\"", 5000)) << client.output();
  client.closeInput();
  client.waitExit(5000);
  client.readToEnd(1000);

  std::string failure;
  std::vector<Json> lines = parseLines(client.output(), &failure);
  EXPECT_EQ(failure, "");
  std::vector<Json> errors = parseLines(client.errorOutput(), &failure);
  EXPECT_EQ(failure, "");
  lines.insert(lines.end(), errors.begin(), errors.end());

  std::map<std::string, KindFields> kinds = documentedKinds();
  EXPECT_EQ(kinds.size(), 13u);
  std::set<std::string> seen = checkFields(lines, kinds);
  for (const auto& [kind, fields] : kinds) {
    EXPECT_TRUE(seen.count(kind)) << kind << " never seen in\n"
                                  << client.output() << client.errorOutput();
  }
}

// A flood of chat with quotes, backslashes, controls and bytes that are
// not UTF-8: every line of the console and of the file is one JSON object,
// and every chat line arrived with its bytes.
TEST(JsonLogTest, EveryLineOfAFloodParsesOnTheConsoleAndInTheFile) {
  LoopbackPeer peer;
  TempDir dir;
  const std::string log = dir.path() + "/log.json";
  const std::string out = dir.path() + "/out.json";
  ClientProcess client({"--log-format=json", "--log-file=" + log, "--no-input", "127.0.0.1",
                        std::to_string(peer.port()), "Admin", "pw"},
                       std::nullopt, ClientProcess::defaultBinary(), out);
  ASSERT_TRUE(acceptLogin(peer, {{1, "Ann"}}));
  constexpr int kBatches = 20;
  constexpr int kPerBatch = 250;
  const std::string awkward = "q\"b\\c\x01\x7f l\xE9 \xC3\xA9 \xED\xA0\x80 \xF0\x9F\x8E\xAE ";
  for (int batch = 0; batch < kBatches; ++batch) {
    for (int i = 0; i < kPerBatch; ++i) {
      peer.send(chatLine(1, 1, awkward + std::to_string(batch * kPerBatch + i)));
    }
    // Each batch handled before the next, so no socket buffer overflows.
    ASSERT_TRUE(waitForLogLine(log, " " + std::to_string((batch + 1) * kPerBatch - 1) + "\""));
  }
  client.kill(SIGTERM);
  EXPECT_EQ(client.waitExit(5000), 0);

  for (const std::string& path : {out, log}) {
    std::string failure;
    std::vector<Json> lines = parseLines(readTextFile(path).value_or(""), &failure);
    EXPECT_EQ(failure, "") << path;
    int chats = 0;
    for (const Json& object : lines) {
      if (object["kind"] != "chat") continue;
      EXPECT_EQ(std::string(object["message"]).substr(0, 11), "q\"b\\c\x01\x7f l\xC3\xA9");
      ++chats;
    }
    EXPECT_EQ(chats, kBatches * kPerBatch) << path;
  }
}

TEST(JsonLogTest, TheFileIsPrivateRefusesLinksAndLonelyFifosAndReopensOnHangUp) {
  TempDir dir;
  const std::string log = dir.path() + "/log.json";
  ASSERT_EQ(symlink("elsewhere", (dir.path() + "/link").c_str()), 0);
  ASSERT_EQ(mkfifo((dir.path() + "/fifo").c_str(), 0600), 0);
  for (const char* name : {"link", "fifo"}) {
    LoopbackPeer peer;
    ClientProcess refused({"--log-file=" + dir.path() + "/" + name, "--no-input", "127.0.0.1",
                           std::to_string(peer.port()), "Admin", "pw"},
                          std::nullopt);
    EXPECT_EQ(refused.waitExit(5000), 2) << name;
    EXPECT_TRUE(refused.errorOutput().starts_with("gsadmin: --log-file: cannot open ")) << name;
    EXPECT_FALSE(peer.receive(0)) << name;
  }

  LoopbackPeer peer;
  ClientProcess client(
      {"--log-file=" + log, "--no-input", "127.0.0.1", std::to_string(peer.port()), "Admin", "pw"},
      std::nullopt);
  ASSERT_TRUE(acceptLogin(peer, {{1, "Ann"}}));
  peer.send(chatLine(1, 1, "before"));
  ASSERT_TRUE(waitForLogLine(log, "\"before\""));
  struct stat info {};
  ASSERT_EQ(stat(log.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  // As logrotate does: move the file away, then signal.
  ASSERT_EQ(rename(log.c_str(), (log + ".1").c_str()), 0);
  client.kill(SIGHUP);
  peer.send(chatLine(1, 1, "after"));
  ASSERT_TRUE(waitForLogLine(log, "\"after\""));
  EXPECT_EQ(readTextFile(log)->find("\"before\""), std::string::npos);
  EXPECT_EQ(readTextFile(log + ".1")->find("\"after\""), std::string::npos);
  // The console stays text.
  EXPECT_TRUE(client.waitForLine("Ann: after"));
}

}  // namespace
}  // namespace gsadmin::testing
