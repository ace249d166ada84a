// What the real binary has loaded: the PostgreSQL and HTTP client libraries
// only once something uses them, so that a client that uses neither does
// not carry them and the dozen libraries they bring.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/server_messages.h"
#include "support/admin_login.h"
#include "support/client_process.h"
#include "support/http_test_server.h"
#include "support/loopback_peer.h"

namespace gsadmin::testing {
namespace {

std::string mapsOf(pid_t pid) {
  std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
  std::ostringstream text;
  text << maps.rdbuf();
  return text.str();
}

bool mapped(const std::string& maps, const std::string& library) {
  return maps.find("/" + library) != std::string::npos;
}

TEST(LibrariesEndToEndTest, TheHttpLibraryComesWithTheFirstRequestAndPostgresNever) {
  HttpTestServer server;
  server.server().Get("/hook", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("ok", "text/plain");
  });
  ASSERT_TRUE(server.start());
  std::string script =
      "function done(id, status) print('done ' .. status) end\n"
      "function onAdmin(text)\n"
      "  if text == '!go' then httpRequest('GET', '" +
      server.url("/hook") +
      "', nil, nil, 'done') end\n"
      "end\n"
      "addEventHandler('onAdminChat', 'onAdmin')\n";
  LoopbackPeer peer;
  std::vector<std::string> args = {"--allow-url=" + server.url("/"), "127.0.0.1",
                                   std::to_string(peer.port()), "Admin", "pw"};
  ClientProcess client(args, script);
  ASSERT_TRUE(acceptLogin(peer, {{3, "Bob"}}));
  ASSERT_TRUE(client.waitForLine("Successfully connected"));
  std::string before = mapsOf(client.pid());
  ASSERT_TRUE(mapped(before, "liblua5.1.so")) << "the maps are read";
  EXPECT_FALSE(mapped(before, "libcurl.so"));
  EXPECT_FALSE(mapped(before, "libpq.so"));

  peer.send(chatLine(0, 3, "!go"));
  ASSERT_TRUE(client.waitForLine("done 200"));
  std::string after = mapsOf(client.pid());
  EXPECT_TRUE(mapped(after, "libcurl.so"));
  EXPECT_FALSE(mapped(after, "libpq.so"));
}

}  // namespace
}  // namespace gsadmin::testing
