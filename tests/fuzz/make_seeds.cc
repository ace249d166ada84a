// Writes the fuzzers' seed corpora, made by the server datagram builders,
// from SQL a script might run, from typical operator input and from the
// panel's requests:
//   gsadmin_fuzz_seeds <datagram dir> <api dir> <db dir> <console dir> <http dir>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "sim/server_messages.h"

namespace {

namespace msg = gsadmin::testing;
using Bytes = std::vector<uint8_t>;

// One fuzzer input: each datagram behind its 2-byte header.
Bytes sequence(const std::vector<Bytes>& datagrams, unsigned clockSteps = 0) {
  Bytes input;
  for (const Bytes& datagram : datagrams) {
    unsigned header = static_cast<unsigned>(datagram.size() & 0x1FFF) | (clockSteps << 13);
    input.push_back(static_cast<uint8_t>(header));
    input.push_back(static_cast<uint8_t>(header >> 8));
    input.insert(input.end(), datagram.begin(), datagram.end());
  }
  return input;
}

void write(const std::string& dir, const std::string& name, const Bytes& bytes) {
  std::string path = dir + "/" + name;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    std::perror(path.c_str());
    return;
  }
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

// One db fuzzer input: calls separated by 0x1E, each its SQL and values
// separated by NUL.
Bytes calls(std::initializer_list<std::string> texts) {
  Bytes input;
  for (const std::string& text : texts) {
    if (!input.empty()) input.push_back(0x1E);
    input.insert(input.end(), text.begin(), text.end());
  }
  return input;
}

void writeDbSeeds(const std::string& dir) {
  using namespace std::string_literals;
  write(dir, "table",
        calls({"CREATE TABLE t (k INTEGER PRIMARY KEY, v TEXT, b BLOB)",
               "INSERT INTO t (v, b) VALUES (?, ?)\0name\0x'00ff'"s,
               "INSERT INTO t VALUES (?, ?, ?)\0"
               "7\0nil\0true"s,
               "UPDATE t SET v = v || ? WHERE k > ?\0!\0"
               "0"s,
               "SELECT * FROM t ORDER BY v", "SELECT count(*), group_concat(v) FROM t",
               "DELETE FROM t WHERE k = ?\0"
               "7"s}));
  write(dir, "transaction",
        calls({"CREATE TABLE t (x)", "BEGIN", "INSERT INTO t VALUES (1.5)", "SAVEPOINT s",
               "ROLLBACK TO s", "COMMIT", "VACUUM"}));
  write(dir, "endless",
        calls({"WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
               "SELECT count(*) FROM c"}));
  write(dir, "long-calls",
        calls({"SELECT instr(printf('%.*c', 20000, 'a'), printf('%.*c', 10000, 'a') || 'b')",
               "SELECT printf('%.*c', 20000, 'a') LIKE '%' || printf('%.*c', 500, 'a') || 'b'",
               "SELECT trim(printf('%.*c', 20000, 'a'), printf('%.*c', 63, 'b') || 'a')",
               "SELECT zeroblob(?)\0"
               "900000000"s}));
  write(dir, "refused",
        calls({"SELECT 1; PRAGMA query_only = ON", "SELECT fts3_tokenizer('simple')",
               "PRAGMA temp_store_directory = '/tmp'", "ATTACH 'x.db' AS x",
               "PRAGMA writable_schema = ON", "UPDATE sqlite_master SET sql = ''"}));
  write(dir, "features",
        calls({"CREATE VIRTUAL TABLE f USING fts5(body)",
               "INSERT INTO f VALUES (?)\0the quick brown fox"s,
               "SELECT * FROM f WHERE f MATCH ?\0quick"s,
               "SELECT json_extract(?, '$.a[1]')\0{\"a\":[1,2]}"s,
               "CREATE TRIGGER r AFTER INSERT ON f BEGIN SELECT 1; END",
               "SELECT * FROM pragma_table_info('f')"}));
}

Bytes text(char mode, const std::string& bytes) {
  Bytes input{static_cast<uint8_t>(mode)};
  input.insert(input.end(), bytes.begin(), bytes.end());
  return input;
}

// The console fuzzer's input: a mode byte (odd: typed on a terminal; even:
// piped, in reads of mode / 2 + 1 bytes), then what the operator sent.
void writeConsoleSeeds(const std::string& dir) {
  const std::string commands =
      "hello all\n.help\n.players\n.vehicles\n.server\n.msg Ann hi\n.slap bo\n"
      ".kick 1\n.ban x\n.lua return getPlayerCount()\n.greet x\n.reload\n\n.nope\n.quit\n";
  write(dir, "piped-commands", text(0x7E, commands));
  write(dir, "piped-small-reads", text(0x02, "a\r\nb\r\n.lua return 1\r\n"));
  // 0xFF N C: (N + 1) * 512 copies of C, past the piped line limit.
  write(dir, "piped-overlong",
        text(0x20,
             ".note \xFF\x7F"
             "0/slap Bob\n.players\n"));
  write(dir, "typed-commands", text(0x01, commands));
  write(dir, "typed-editing",
        text(0x01,
             ".k\t\x01\x1b[C\x1b[D\x7f\x1b[3~\x15.sl\tb\t\t\r\x1b[A\x1b[B\x12\r"
             "abc def\x17\x0b\x03\x1bOHx\x1b[F\r\x04"));
  write(dir, "typed-overlong", text(0x01, "\xFF\x08x/slap Bob\r.players\r"));
}

std::string post(const std::string& path, const std::string& type, const std::string& body) {
  return "POST " + path + " HTTP/1.1\r\nHost: panel\r\nContent-Type: " + type +
         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string get(const std::string& target) {
  return "GET " + target + " HTTP/1.1\r\nHost: panel\r\n\r\n";
}

// The HTTP fuzzer's input: a mode byte (bits 0-1: nobody logged in, a
// moderator, an operator, an operator without the CSRF header; bit 2: the
// metrics server), then the requests of one connection.
void writeHttpSeeds(const std::string& dir) {
  write(dir, "login-json",
        text(0, post("/api/login", "application/json", R"({"name":"ann","password":"pw"})")));
  write(dir, "login-form",
        text(0, post("/api/login", "application/x-www-form-urlencoded", "name=ann&password=pw")));
  write(dir, "reads",
        text(1, get("/api/session") + get("/api/server") + get("/api/players") + get("/api/bans") +
                    get("/api/audit") + get("/")));
  write(dir, "history",
        text(1, get("/api/players/search?q=An") + get("/api/history?name=Ann&lines=20") +
                    get("/api/charts?range=day")));
  write(dir, "actions",
        text(2, post("/api/actions", "application/json",
                     R"({"action":"warn","player":1,"reason":"spam"})") +
                    post("/api/actions", "application/json",
                         R"({"action":"tempban","player":2,"duration":"30m"})") +
                    post("/api/actions", "application/json", R"({"action":"unban","name":"Bo"})") +
                    post("/api/actions", "application/json",
                         R"({"action":"command","line":".players"})")));
  write(dir, "chat-without-csrf",
        text(3, post("/api/actions", "application/json", R"({"action":"chat","text":"hi"})")));
  write(dir, "events", text(1, get("/api/events")));
  write(dir, "logout", text(2, "POST /api/logout HTTP/1.1\r\nContent-Length: 0\r\n\r\n"));
  write(dir, "metrics", text(4, get("/metrics")));
  write(dir, "malformed",
        text(1,
             "GET /api/players HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n"
             "\r\n5\r\nab\r\n0\r\n\r\nGET /%zz?x=%%&y HTTP/1.0\r\nRange: bytes=5-1\r\n\r\n"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: %s <datagram dir> <api dir> <db dir> <console dir> <http dir>\n",
                 argv[0]);
    return 2;
  }
  std::string datagrams = argv[1];
  std::string api = argv[2];

  msg::ServerRecord game2;
  msg::ServerRecord game1;
  game1.gameCode = 1;
  game1.gameMode = 3;
  Bytes accepted2 = msg::connectionAccepted(game2, {{1, "Ann"}, {2, "Bo"}, {7, "Cy"}});
  Bytes accepted1 = msg::connectionAccepted(game1, {{4, "Dee", 0x01020304}, {5, "Eve"}});

  write(datagrams, "accept-game2", sequence({accepted2}));
  write(datagrams, "accept-game1", sequence({accepted1}));
  write(datagrams, "match",
        sequence({accepted2,
                  msg::playerDetails(1, "a"),
                  msg::playerDetails(2, "b"),
                  msg::playerJoined(9, "Newcomer"),
                  msg::playerDetails(9, "c"),
                  msg::positionUpdate(1, 5, 80.0f, 1, 2, 3),
                  msg::positionUpdate(2, 105, 0),
                  msg::positionUpdate(1, 5, 70.0f, 4, 5, 6),
                  msg::positionUpdate(2, 0, 99.5f),
                  msg::positionUpdate(1, 0, 50.0f),
                  msg::chatLine(1, 0, "hello all"),
                  msg::chatLine(2, 0, "/msg #1 hi there"),
                  msg::chatLine(0, 3, "admin says"),
                  msg::chatLine(0, 3, "/msgr Ann: hi back"),
                  msg::deathReport(1, 2, 30),
                  msg::deathReport(2, 2, 12),
                  msg::deathReport(7, 255, 43),
                  msg::deathReport(9, 100, 0),
                  msg::playerLeft(1, 2),
                  msg::playerLeft(0xFF, 7),
                  msg::keepAliveRequest(),
                  msg::disconnectReason(4)}));
  write(datagrams, "timeout-and-back",
        sequence({accepted2, msg::keepAliveRequest(), msg::keepAliveRequest()}, 6));
  write(datagrams, "short-bodies",
        sequence({{1}, {3}, {6}, {8}, {9}, {10}, {11}, {29}, {1, 2, 1, 0, 0, 8}}));

  // API calls: function index, argument count, then typed arguments.
  write(api, "queries", {15, 1,  3, 1, 16, 1,  3, 2, 21, 1, 3, 1,  25, 1, 3,
                         5,  28, 1, 3, 5,  30, 2, 3, 5,  3, 1, 31, 1,  3, 30});
  write(api, "gettok", {2, 3, 4, 5, 'a', ' ', 'b', ' ', 'c',  3,    1, 4, 1, ' ', 2,
                        3, 2, 0, 0, 0,   0,   0,   0,   0xF8, 0x7F, 3, 0, 4, 0});
  write(api, "commands", {3,   1,  4, 2, 'h', 'i', 4, 2, 3, 1,  4, 3, 'y', 'o',
                          '!', 22, 1, 3, 2,   23,  1, 5, 0, 24, 1, 4, 1,   '2'});
  write(api, "handlers", {0, 2, 4, 4, 't', 'i', 'c', 'k', 4, 1, 'f', 1, 2, 6, 4, 1, 'f'});
  writeDbSeeds(argv[3]);
  writeConsoleSeeds(argv[4]);
  writeHttpSeeds(argv[5]);
  return 0;
}
