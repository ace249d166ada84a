// The real binary: banner, command line, start-up failures, the first login.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "base/defaults.h"
#include "sim/server_messages.h"
#include "support/client_process.h"
#include "support/loopback_peer.h"

namespace gsadmin::testing {
namespace {

const char kUsage[] =
    "ERROR: Insufficent arguements.\nSyntax: <IP> <port> <username> <password>.\n";
const char kBanner[] = "gsadmin " GSADMIN_VERSION " - remote admin console for game servers";

std::vector<std::string> argsFor(const LoopbackPeer& peer, const std::string& name = "Admin",
                                 const std::string& password = "secret") {
  return {"127.0.0.1", std::to_string(peer.port()), name, password};
}

TEST(StartupTest, BannerThenBlankLineThenLoginToThePeer) {
  LoopbackPeer peer;
  ClientProcess client(argsFor(peer, "Boss", "pw"), std::nullopt);
  EXPECT_EQ(client.nextLine(), kBanner);
  EXPECT_EQ(client.nextLine(), "");
  EXPECT_EQ(client.nextLine(), "LUA: Unable to load script 'script.lua'");
  EXPECT_EQ(client.nextLine(),
            "Connecting to 127.0.0.1:" + std::to_string(peer.port()) + " as Boss...");
  std::optional<Datagram> login = peer.receive();
  ASSERT_TRUE(login);
  EXPECT_EQ(*login, (Datagram{0x0D, 0x30, 0x02, 'B', 'o', 's', 's', 0x7C, 'p', 'w', 0x00}));
}

TEST(StartupTest, UsageForPortsThatConvertToZero) {
  for (const char* port : {"0", "65536", "abc", ""}) {
    ClientProcess client({"127.0.0.1", port, "Admin", "pw"}, std::nullopt);
    EXPECT_EQ(client.waitExit(), 0) << port;
    client.readToEnd();
    EXPECT_EQ(client.output(), std::string(kBanner) + "\n\n" + kUsage) << port;
  }
}

TEST(StartupTest, PortTextsConvertLikeAtoiCutTo16BitsWithAWarning) {
  // Every text names the peer's own port, so each login goes to the peer.
  LoopbackPeer peer;
  const int port = peer.port();
  const std::string texts[] = {std::to_string(port) + "abc", std::to_string(port + 65536),
                               std::to_string(port - 65536), "  +" + std::to_string(port)};
  for (const std::string& text : texts) {
    ClientProcess client({"127.0.0.1", text, "Admin", "pw"}, std::nullopt);
    std::optional<std::string> line = client.waitForLine("Connecting to");
    ASSERT_TRUE(line) << text;
    EXPECT_EQ(*line, "Connecting to 127.0.0.1:" + std::to_string(port) + " as Admin...");
    EXPECT_TRUE(peer.receive()) << text;
    std::string error = client.errorOutput();
    EXPECT_EQ(error.substr(0, error.find('\n')),
              "gsadmin: warning: port '" + text + "' is not a number from 1 to 65535; using port " +
                  std::to_string(port));
  }
  // A plain port is no cause for a warning.
  ClientProcess plain(argsFor(peer), std::nullopt);
  ASSERT_TRUE(plain.waitForLine("Connecting to"));
  EXPECT_EQ(plain.errorOutput().find("warning"), std::string::npos) << plain.errorOutput();
}

// The defaults name 127.0.0.1:4003, where a real server or a demo may be
// listening: the test holds that port itself, so the logins come to it.
TEST(StartupTest, FewerThanFourArgumentsUseAllDefaults) {
  const std::string name = defaults::kAdminName, password = defaults::kAdminPassword;
  Datagram expectedLogin = {0x0D, 0x30, 0x02};
  for (char c : name + "|" + password) expectedLogin.push_back(static_cast<uint8_t>(c));
  expectedLogin.push_back(0x00);
  LoopbackPeer defaultServer(defaults::kAdminPort, LoopbackPeer::OnBindFailure::kStayUnbound);
  if (!defaultServer.bound()) {
    GTEST_SKIP() << "127.0.0.1:4003 is in use; trying the defaults would log in to it";
  }
  for (int count = 0; count <= 3; ++count) {
    std::vector<std::string> args = {"10.1.2.3", "999", "Someone"};
    args.resize(static_cast<size_t>(count));
    ClientProcess client(args, std::nullopt);
    std::optional<std::string> line = client.waitForLine("Connecting to");
    ASSERT_TRUE(line) << count;
    EXPECT_EQ(*line, "Connecting to " + std::string(defaults::kServerAddress) + ":" +
                         std::to_string(defaults::kAdminPort) + " as " + name + "...");
    std::optional<Datagram> login = defaultServer.receive();
    ASSERT_TRUE(login) << count;
    EXPECT_EQ(*login, expectedLogin) << count;
  }
}

TEST(StartupTest, ArgumentsAfterTheFourthAreIgnored) {
  LoopbackPeer peer;
  std::vector<std::string> args = argsFor(peer, "Chief");
  args.push_back("extra");
  ClientProcess client(args, std::nullopt);
  EXPECT_TRUE(client.waitForLine("as Chief..."));
}

// The name never resolves (.invalid is reserved), so nothing is sent.
TEST(StartupTest, UnresolvableHostFailsWithSocketErrorAndExitsOne) {
  ClientProcess client({"no-such-host.invalid", "4003", "Admin", "pw"}, std::nullopt);
  EXPECT_TRUE(client.waitForLine("ERROR: socket creation failed"));
  // The goodbye is flushed before the two-second pause, not at exit.
  client.readToEnd(1000);
  EXPECT_NE(client.output().find("Exiting Admin"), std::string::npos);
  EXPECT_EQ(client.waitExit(0), -1) << "still pausing";
  EXPECT_EQ(client.waitExit(8000), 1);
  client.readToEnd();
  const std::string& out = client.output();
  EXPECT_EQ(out.substr(out.size() - 13), "Exiting Admin");
  // Standard error says what failed, and for which address.
  EXPECT_NE(
      client.errorOutput().find("gsadmin: no-such-host.invalid:4003: cannot resolve the address: "),
      std::string::npos)
      << client.errorOutput();
}

// With descriptor 0 closed at start, the socket must not take it: the
// console would read the server's datagrams as typed lines.
TEST(StartupTest, ClosedStandardInputLeavesTheSocketToTheSession) {
  LoopbackPeer peer;
  ClientProcess client(argsFor(peer), std::nullopt, ClientProcess::defaultBinary(), std::nullopt,
                       std::nullopt, ClientProcess::Input::kClosed);
  std::optional<Datagram> login = peer.receive();
  ASSERT_TRUE(login);
  ASSERT_EQ((*login)[0], 0x0D);
  ASSERT_TRUE(peer.send(connectionAccepted(ServerRecord(), {})));
  ASSERT_TRUE(client.waitForLine("Successfully connected!"));
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(peer.send(keepAliveRequest()));
    EXPECT_EQ(peer.receive(), (Datagram{0x35, 0x00})) << i;
  }
  EXPECT_FALSE(peer.receive(300)) << "only the answers, nothing sent back as chat";
  EXPECT_EQ(client.waitExit(0), -1) << "still running";
}

TEST(StartupTest, KeepAliveIsAnsweredWithExactlyTwoBytes) {
  LoopbackPeer peer;
  ClientProcess client(argsFor(peer), std::nullopt);
  ASSERT_TRUE(peer.receive());  // login
  ASSERT_TRUE(peer.send(keepAliveRequest()));
  std::optional<Datagram> answer = peer.receive();
  ASSERT_TRUE(answer);
  EXPECT_EQ(*answer, (Datagram{0x35, 0x00}));
  ASSERT_TRUE(peer.send({4, 1, 2, 3, 4, 5}));
  answer = peer.receive();
  ASSERT_TRUE(answer);
  EXPECT_EQ(*answer, (Datagram{0x35, 0x00}));
  EXPECT_FALSE(peer.receive(200));
}

TEST(StartupTest, PasswordIsNotVisibleInTheCommandLine) {
  LoopbackPeer peer;
  ClientProcess client(argsFor(peer, "Admin", "hunter2-secret"), std::nullopt);
  ASSERT_TRUE(peer.receive());  // the password has been copied and used by now
  std::ifstream cmdline("/proc/" + std::to_string(client.pid()) + "/cmdline", std::ios::binary);
  std::stringstream content;
  content << cmdline.rdbuf();
  EXPECT_EQ(content.str().find("hunter2-secret"), std::string::npos);
  EXPECT_NE(content.str().find("Admin"), std::string::npos);
}

TEST(StartupTest, ScriptLoadedLineAndOnStartBeforeTheSocketExists) {
  LoopbackPeer peer;
  ClientProcess client(argsFor(peer),
                       "addEventHandler('onStart', 'started')\n"
                       "function started() print('started') "
                       "sendChat('too early') end\n");
  EXPECT_EQ(client.waitForLine("LUA:"), "LUA: Script 'script.lua' loaded.");
  EXPECT_EQ(client.nextLine(), "started");
  std::optional<Datagram> first = peer.receive();
  ASSERT_TRUE(first);
  EXPECT_EQ((*first)[0], 0x0D) << "the chat from onStart must not have left the client";
}

// A directory's scripts load only when --script names it; the default
// "script.lua" is one file, and a directory of that name fails as one.
TEST(StartupTest, ADirectoryNamedScriptLuaLoadsOnlyWhenNamed) {
  struct Case {
    std::vector<std::string> options;
    std::string line;
  };
  const Case cases[] = {
      {{}, "LUA: Unable to load script 'script.lua'"},
      {{"--script=script.lua"}, "LUA: Script 'inside.lua' loaded."},
  };
  for (const Case& c : cases) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() + "/script.lua");
    dir.write("script.lua/inside.lua", "");
    LoopbackPeer peer;
    std::vector<std::string> args = c.options;
    for (const std::string& arg : argsFor(peer)) args.push_back(arg);
    ClientProcess client(args, std::nullopt, ClientProcess::defaultBinary(), std::nullopt,
                         dir.path());
    EXPECT_EQ(client.waitForLine("LUA:"), c.line);
    EXPECT_EQ(client.nextLine().value_or("").rfind("Connecting to ", 0), 0u) << c.line;
  }
}

TEST(StartupTest, InterruptAndTerminateEndWithStatusZero) {
  for (int signal : {SIGINT, SIGTERM}) {
    LoopbackPeer peer;
    ClientProcess client(argsFor(peer), std::nullopt);
    ASSERT_TRUE(peer.receive());
    client.kill(signal);
    EXPECT_EQ(client.waitExit(), 0) << signal;
  }
}

}  // namespace
}  // namespace gsadmin::testing
