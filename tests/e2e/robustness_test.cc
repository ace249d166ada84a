// What a script, a reader of standard output or a peer's bytes may do to
// the real binary: each case must leave it running and answering.

#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "sim/server_messages.h"
#include "support/client_process.h"
#include "support/loopback_peer.h"

namespace gsadmin::testing {
namespace {

std::vector<std::string> argsFor(const LoopbackPeer& peer, std::vector<std::string> options = {}) {
  for (const char* arg : {"127.0.0.1", "", "Admin", "pw"}) options.push_back(arg);
  options[options.size() - 3] = std::to_string(peer.port());
  return options;
}

// Logs the client in with an empty server; the datagrams it sent are read.
void logIn(LoopbackPeer& peer, ClientProcess& client) {
  ASSERT_TRUE(peer.receive());
  peer.send(connectionAccepted(ServerRecord(), {}));
  ASSERT_TRUE(client.waitForLine("Successfully connected"));
}

// The client still reads datagrams and answers: a keep-alive request gets
// its answer.
void expectAnswering(LoopbackPeer& peer) {
  peer.drain();
  ASSERT_TRUE(peer.send(keepAliveRequest()));
  std::optional<Datagram> answer = peer.receive(3000);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->at(0), 0x35);
}

// A signal ends the client with status 0, as it always has.
void expectCleanStop(ClientProcess& client, int signal = SIGTERM) {
  client.kill(signal);
  EXPECT_EQ(client.waitExit(2000), 0);
}

// Finalisers that raise an error or register handlers, queued by the
// collector while the host pushes an event's handler name and text, and
// run after the call. Each "chat" call leaves garbage proxies whose
// finalisers are armed; the second handler's long name is garbage between
// events, so pushing it again allocates and takes the next collection step.
TEST(RobustnessTest, FinalisersNeitherEndNorCorruptTheClient) {
  for (const char* finaliser : {"error('finaliser fails')", "addEventHandler('never', 'x')"}) {
    std::string script = std::string(R"lua(
addEventHandler('onAdminChat', 'chat')
addEventHandler('onAdminChat', string.rep('n', 256))
local finalised, armed = 0, false
local function finaliser()
  finalised = finalised + 1
  if armed then )lua") + finaliser +
                         R"lua( end
end
function chat(text)
  armed = false
  if text == 'last' then print('script: last') end
  repeat until collectgarbage('step', 0)
  for i = 1, 100 do getmetatable(newproxy(true)).__gc = finaliser end
  -- The finalisers run after the call, so this cycle's are armed.
  collectgarbage()
  armed = true
end
)lua";
    LoopbackPeer peer;
    ClientProcess client(argsFor(peer), script);
    logIn(peer, client);
    for (int i = 0; i < 30; ++i) peer.send(chatLine(0, 3, "text " + std::to_string(i)));
    peer.send(chatLine(0, 3, "last"));
    EXPECT_TRUE(client.waitForLine("script: last", 20000)) << finaliser;
    expectAnswering(peer);
    expectCleanStop(client);
  }
}

TEST(RobustnessTest, ClosedStandardOutputIsNoReasonToStop) {
  LoopbackPeer peer;
  ClientProcess client(argsFor(peer), "");
  logIn(peer, client);
  client.closeOutput();
  for (int i = 0; i < 5; ++i) peer.send(chatLine(0, 3, "a line nobody reads"));
  expectAnswering(peer);
  expectCleanStop(client);
}

const char kSpinningScript[] = R"lua(
addEventHandler('onAdminChat', 'chat')
function chat(text)
  if text == 'spin' then print('script: spinning') while true do end end
  print('script: ' .. text)
end
)lua";

TEST(RobustnessTest, SignalsStopAnEndlessHandlerOrMainChunk) {
  for (int signal : {SIGINT, SIGTERM}) {
    LoopbackPeer peer;
    ClientProcess client(argsFor(peer, {"--script-budget=0"}), kSpinningScript);
    logIn(peer, client);
    peer.send(chatLine(0, 3, "spin"));
    ASSERT_TRUE(client.waitForLine("script: spinning"));
    expectCleanStop(client, signal);
  }
  LoopbackPeer peer;
  ClientProcess client(argsFor(peer), "print('script: spinning') while true do end");
  ASSERT_TRUE(client.waitForLine("script: spinning"));
  expectCleanStop(client, SIGINT);
}

TEST(RobustnessTest, AHandlerPastItsBudgetFailsAndTheClientGoesOn) {
  LoopbackPeer peer;
  ClientProcess client(argsFor(peer, {"--script-budget", "200"}), kSpinningScript);
  logIn(peer, client);
  peer.send(chatLine(0, 3, "spin"));
  EXPECT_TRUE(client.waitForLine("script: spinning"));
  EXPECT_EQ(client.nextLine(5000), "LUA: Error in function 'chat'");
  peer.send(chatLine(0, 3, "after"));
  EXPECT_TRUE(client.waitForLine("script: after"));
  expectAnswering(peer);
  expectCleanStop(client);
  EXPECT_NE(client.errorOutput().find("ran longer than its budget of 200 ms"), std::string::npos)
      << client.errorOutput();
}

TEST(RobustnessTest, AMainChunkPastItsBudgetFailsAndTheClientConnects) {
  LoopbackPeer peer;
  ClientProcess client(argsFor(peer, {"--script-budget=100"}), "while true do end");
  EXPECT_TRUE(peer.receive(5000));  // the login
  expectCleanStop(client);
  // A failed main chunk is reported on standard error only.
  EXPECT_EQ(client.output().find("LUA:"), std::string::npos);
  EXPECT_NE(client.errorOutput().find("script.lua:1: ran longer than its budget"),
            std::string::npos)
      << client.errorOutput();
}

TEST(RobustnessTest, AHandlerPastTheMemoryCeilingFailsAndMemoryComesBack) {
  LoopbackPeer peer;
  ClientProcess client(argsFor(peer, {"--script-memory=16"}), R"lua(
addEventHandler('onAdminChat', 'chat')
function chat(text)
  if text == 'grow' then
    local t = {}
    while true do t[#t + 1] = string.rep('x', 1000) .. #t end
  end
  print('script: ' .. text)
end
)lua");
  logIn(peer, client);
  for (int round = 0; round < 3; ++round) {
    peer.send(chatLine(0, 3, "grow"));
    EXPECT_TRUE(client.waitForLine("LUA: Error in function 'chat'"));
    peer.send(chatLine(0, 3, "ok"));
    EXPECT_TRUE(client.waitForLine("script: ok"));
  }
  expectAnswering(peer);
  expectCleanStop(client);
  EXPECT_NE(client.errorOutput().find("not enough memory"), std::string::npos);
}

// Longer than the datagram fuzzer can make: through the real receive path.
TEST(RobustnessTest, OversizedDatagramsAreHarmless) {
  LoopbackPeer peer;
  ClientProcess client(argsFor(peer), "");
  logIn(peer, client);
  for (size_t size : {4097u, 8192u, 65507u}) {
    Datagram chat = chatLine(0, 3, std::string(size, 'y'));
    chat.resize(size);
    ASSERT_TRUE(peer.send(chat)) << size;
    expectAnswering(peer);
  }
  expectCleanStop(client);
}

}  // namespace
}  // namespace gsadmin::testing

namespace gsadmin::testing {
namespace {

// --help, --version and a bad option exit at once: the script never runs and
// nothing is sent to the server named.
TEST(OptionsEndToEndTest, HelpVersionAndBadOptionsExitWithoutConnecting) {
  const struct {
    std::vector<std::string> options;
    int status;
    std::string stdoutStart;
    std::string stderrStart;
  } cases[] = {
      {{"--help"}, 0, "Usage: gsadmin", ""},
      {{"--version"}, 0, "gsadmin " GSADMIN_VERSION " - remote admin console", ""},
      {{"--x"}, 2, "", "gsadmin: unknown option '--x'\nUsage: gsadmin"},
      {{"--script-budget", "soon"},
       2,
       "",
       "gsadmin: --script-budget needs a number of milliseconds\nUsage:"},
  };
  for (const auto& c : cases) {
    LoopbackPeer peer;
    ClientProcess client(argsFor(peer, c.options), "print('script ran')");
    EXPECT_EQ(client.waitExit(), c.status) << c.options[0];
    client.readToEnd();
    EXPECT_EQ(client.output().substr(0, c.stdoutStart.size()), c.stdoutStart) << c.options[0];
    if (c.stdoutStart.empty()) {
      EXPECT_EQ(client.output(), "");
    }
    EXPECT_EQ(client.errorOutput().substr(0, c.stderrStart.size()), c.stderrStart);
    EXPECT_EQ(client.output().find("script ran"), std::string::npos);
    EXPECT_FALSE(peer.receive(200)) << c.options[0];
  }
}

}  // namespace
}  // namespace gsadmin::testing
